// The two ways a command reaches the reader. On a card connection: one SCardTransmit,
// always with the T=0 protocol control information (the library connects for T=0
// only). On a direct connection, where the reader has no card to speak through: one
// SCardControl with the CCID escape code, which the reader answers in one piece.
#ifndef QVR_ACR122_PLATFORM_TRANSMIT_H
#define QVR_ACR122_PLATFORM_TRANSMIT_H

#include <cstddef>
#include <cstdint>

namespace qvr {

// Sends count bytes and receives at most capacity bytes into reply. Returns false
// when the platform reports any failure (including an answer longer than capacity)
// or claims to have delivered more than capacity bytes.
bool transmitOnce(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                  std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept;

// The same through the escape of a direct connection. A driver that refuses the
// escape (the CCID driver does unless its option allows it) makes this fail.
bool escapeOnce(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept;

}  // namespace qvr

#endif
