// What the virtual reader says to vpcd. A one-byte message is a control code
// (power off, power on, reset: no answer; get ATR: the ATR); any longer message is a
// command APDU for the reader.
#ifndef VREADER_VPCD_PROTOCOL_H
#define VREADER_VPCD_PROTOCOL_H

#include <optional>

#include "hex_bytes.h"
#include "virtual_reader.h"

namespace vreader {

// 3B 00: no interface bytes, so pcscd picks T=0.
inline const Bytes kPseudoCardAtr{0x3B, 0x00};

// The answer to send back, or nothing when vpcd expects none.
std::optional<Bytes> answer_vpcd_message(const Bytes& message, VirtualReader& device);

}  // namespace vreader

#endif
