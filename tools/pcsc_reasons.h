// PC/SC results in words for a person at the reader, with a hint for the common ones.
#ifndef QVR_PROBE_PCSC_REASONS_H
#define QVR_PROBE_PCSC_REASONS_H

#include <string>

namespace qvr::tools {

// "0x8010002E SCARD_E_NO_READERS_AVAILABLE (Cannot find a smart card reader.)"
std::string pcscReason(long code);

// What to do about it, in one or more lines; empty when there is nothing useful to say.
std::string pcscHint(long code);

// No reader (or not the one wanted): plugging, the kernel's NFC drivers, the CCID driver.
std::string noReaderHint();

// The reader answered nothing to a command sent on a direct connection: the CCID
// driver's escape option is off, or the reader left.
std::string escapeRefusedHint();

// Prints "qvr-probe: WHAT: REASON" and the hint, if any, on standard error.
void reportFailure(const std::string& what, long code);

}  // namespace qvr::tools

#endif
