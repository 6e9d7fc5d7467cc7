// The ways a command reaches the reader. On a card connection: one SCardTransmit
// with the protocol control information of the protocol pcscd negotiated (T=0 or
// T=1). On a direct connection, where the reader has no card to speak through: one
// SCardControl with the CCID escape code, which the reader answers in one piece.
// Either may leave a line in the wire trace.
#ifndef QVR_ACR122_PLATFORM_TRANSMIT_H
#define QVR_ACR122_PLATFORM_TRANSMIT_H

#include <cstddef>
#include <cstdint>

#include "reader_link.h"
#include "wire_attention.h"

namespace qvr {

// Sends count bytes and receives at most capacity bytes into reply. Returns false
// when the platform reports any failure (including an answer longer than capacity)
// or claims to have delivered more than capacity bytes.
using Exchange = bool (*)(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                          std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept;

// SCardTransmit with T=0, untraced.
bool transmitOnce(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                  std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept;

// How the engine reaches the reader through one handle, chosen once per command.
struct Wire {
    Exchange exchange;
    Link link;
};

// The escape or the (traced) transmit of the handle's protocol, as the handle and
// the trace setting ask.
Wire closerWireTo(std::int32_t card) noexcept;

inline Wire wireTo(std::int32_t card) noexcept {
    if (wireAttention.load(std::memory_order_acquire) == 0) return {&transmitOnce, Link::kCardT0};
    return closerWireTo(card);
}

}  // namespace qvr

#endif
