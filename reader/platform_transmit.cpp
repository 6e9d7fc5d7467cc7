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

bool tracedTransmit(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                    std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept {
    DWORD length = static_cast<DWORD>(capacity);
    const LONG result = SCardTransmit(static_cast<SCARDHANDLE>(card), SCARD_PCI_T0, bytes,
                                      static_cast<DWORD>(count), nullptr, reply, &length);
    traceExchange("transmit", card, bytes, count, reply, capacity, length, result);
    return delivered(result, length, capacity, received);
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

// The CCID escape into a receive buffer of capacity bytes. A driver that does not
// know the escape's number says the feature is unsupported: the same bytes then go
// once more under the number Linux's CCID driver uses. A driver that refuses the
// escape itself (the CCID driver does unless its option allows it) makes this fail.
bool escapeOnce(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept {
    DWORD length = 0;
    LONG result = escapeWithCode(pcsc::kEscapeControlCode, card, bytes, count, reply, capacity, length);
    if (result == static_cast<LONG>(SCARD_E_UNSUPPORTED_FEATURE) &&
        pcsc::kFallbackEscapeControlCode != pcsc::kEscapeControlCode) {
        result = escapeWithCode(pcsc::kFallbackEscapeControlCode, card, bytes, count, reply,
                                capacity, length);
    }
    return delivered(result, length, capacity, received);
}

}  // namespace

bool transmitOnce(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                  std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept {
    DWORD length = static_cast<DWORD>(capacity);
    const LONG result = SCardTransmit(static_cast<SCARDHANDLE>(card), SCARD_PCI_T0, bytes,
                                      static_cast<DWORD>(count), nullptr, reply, &length);
    return delivered(result, length, capacity, received);
}

Wire closerWireTo(std::int32_t card) noexcept {
    if (isDirect(card)) return {&escapeOnce, true};
    return {trace::enabled() ? &tracedTransmit : &transmitOnce, false};
}

}  // namespace qvr
