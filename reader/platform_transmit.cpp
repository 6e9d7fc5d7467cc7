#include "platform_transmit.h"

#include "pcsc_platform.h"

namespace qvr {

bool transmitOnce(std::int32_t card, const std::uint8_t* bytes, std::size_t count,
                  std::uint8_t* reply, std::size_t capacity, std::size_t& received) noexcept {
    DWORD length = static_cast<DWORD>(capacity);
    const LONG result = SCardTransmit(static_cast<SCARDHANDLE>(card), SCARD_PCI_T0, bytes,
                                      static_cast<DWORD>(count), nullptr, reply, &length);
    if (result != SCARD_S_SUCCESS || length > capacity) return false;
    received = static_cast<std::size_t>(length);
    return true;
}

}  // namespace qvr
