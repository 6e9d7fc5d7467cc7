// The names pcsc-lite gives its result codes, for people reading the wire trace.
#ifndef QVR_ACR122_PCSC_NAMES_H
#define QVR_ACR122_PCSC_NAMES_H

#include <cstdint>

namespace qvr {

// "SCARD_E_NO_SMARTCARD" for 0x8010000C, and so on; "unknown" for a code that
// PC/SC does not define.
const char* pcscResultName(std::uint32_t code) noexcept;

}  // namespace qvr

#endif
