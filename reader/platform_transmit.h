// One SCardTransmit on the card connection, always with the T=0 protocol control
// information: the library connects for T=0 only.
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

}  // namespace qvr

#endif
