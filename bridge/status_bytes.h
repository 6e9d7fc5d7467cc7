// How a failed exchange reports its status word to Java in two response bytes.
// The status is written as upper-case hex text without leading zeros, and the
// first four characters are read back as two bytes. Every status from 0x1000 to
// 0xFFFF (all ISO 7816 status words and the reader library's own codes) thus comes
// out big-endian; a shorter text marks byte 0 with 0xFF and leaves byte 1 alone.
#ifndef FERROW_STATUS_BYTES_H
#define FERROW_STATUS_BYTES_H

#include <cstdint>

namespace ferrow {

inline constexpr std::uint8_t kUndecodableStatusMarker = 0xFF;

// Writes the two status bytes into target[0] and target[1] (target[1] only when
// both pairs of characters decode).
void writeStatusBytes(std::int32_t status, std::uint8_t* target) noexcept;

}  // namespace ferrow

#endif
