#include "platform_transmit.h"

#include <algorithm>

#include "context_table.h"
#include "pcsc_platform.h"
#include "wire_trace.h"

namespace qvr {
namespace {

// The trace shows only bytes that lie in the reply buffer, whatever the platform claims.
void traceExchange(const char* operation, std::int32_t card, const std::uint8_t* bytes,
                   std::size_t count, const std::uint8_t* reply, std::size_t capacity,
                   std::size_t length, LONG result) {
    const std::size_t shown = result == SCARD_S_SUCCESS ? std::min(length, capacity) : 0;
    trace::record(operation, card, result, {bytes, count}, {reply, shown});
}

bool delivered(LONG result, DWORD length, std::size_t capacity, std::size_t& received) {
    if (result != SCARD_S_SUCCESS || length > capacity) return false;
    received = static_cast<std::size_t>(length);
    return true;
}

// One SCardTransmit under the protocol of pci, traced when asked.
template <bool kTraced>
bool transmitWith(const SCARD_IO_REQUEST* pci, std::int32_t card, const std::uint8_t* bytes,
                  std::size_t count, std::uint8_t* reply, std::size_t capacity,
                  std::size_t& received) noexcept {
    DWORD length = static_cast<DWORD>(capacity);
    const LONG result = SCardTransmit(static_cast<SCARDHANDLE>(card), pci, bytes,
                                      static_cast<DWORD>(count), nullptr, reply, &length);
    if constexpr (kTraced) traceExchange("transmit", card, bytes, count, reply, capacity, length, result);
    return delivered(result, length, capacity, received);
}

bool tracedTransmitT0(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                      std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept {
    return transmitWith<true>(SCARD_PCI_T0, card, bytes, count, reply, capacity, received);
}

bool transmitT1(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept {
    return transmitWith<false>(SCARD_PCI_T1, card, bytes, count, reply, capacity, received);
}

bool tracedTransmitT1(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                      std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept {
    return transmitWith<true>(SCARD_PCI_T1, card, bytes, count, reply, capacity, received);
}

LONG escapeWithCode(DWORD code, std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                    std::uint8_t* reply, std::size_t capacity, DWORD& length) noexcept {
    length = 0;
    const LONG result = SCardControl(static_cast<SCARDHANDLE>(card), code, bytes,
                                     static_cast<DWORD>(count), reply,
                                     static_cast<DWORD>(capacity), &length);
    if (trace::enabled()) traceExchange("control", card, bytes, count, reply, capacity, length, result);
    return result;
}

// The CCID escape into a receive buffer of capacity bytes, under the number the
// handle's driver took before. A driver that does not know the first number says
// the feature is unsupported: the same bytes then go once more under the number
// Linux's CCID driver uses, and when the driver takes it, the handle keeps it, so
// that each later command costs one call. A driver that refuses the escape itself
// (the CCID driver does unless its option allows it) makes this fail.
bool escapeOnce(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept {
    const DWORD code = escapeCodeOf(card);
    DWORD length = 0;
    LONG result = escapeWithCode(code, card, bytes, count, reply, capacity, length);
    if (result == static_cast<LONG>(SCARD_E_UNSUPPORTED_FEATURE) &&
        code != pcsc::kFallbackEscapeControlCode) {
        result = escapeWithCode(pcsc::kFallbackEscapeControlCode, card, bytes, count, reply,
                                capacity, length);
        if (result == SCARD_S_SUCCESS) rememberEscapeCode(card, pcsc::kFallbackEscapeControlCode);
    }
    return delivered(result, length, capacity, received);
}

}  // namespace

bool transmitOnce(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                  std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept {
    return transmitWith<false>(SCARD_PCI_T0, card, bytes, count, reply, capacity, received);
}

Wire closerWireTo(std::int32_t card) noexcept {
    const Link link = linkOf(card);
    const bool traced = trace::enabled();
    switch (link) {
        case Link::kDirect:
            return {&escapeOnce, link};
        case Link::kCardT1:
            return {traced ? &tracedTransmitT1 : &transmitT1, link};
        case Link::kCardT0:
            break;
    }
    return {traced ? &tracedTransmitT0 : &transmitOnce, Link::kCardT0};
}

}  // namespace qvr
