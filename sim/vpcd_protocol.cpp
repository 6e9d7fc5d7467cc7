#include "vpcd_protocol.h"

#include <thread>

namespace vreader {

namespace {

enum ControlCode : std::uint8_t {
    kPowerOff = 0x00,
    kPowerOn = 0x01,
    kReset = 0x02,
    kGetAtr = 0x04,
};

std::optional<Bytes> answer_control_code(std::uint8_t code, VirtualReader& device) {
    switch (code) {
        case kPowerOff:
        case kPowerOn:
        case kReset:
            device.reader().drop_pending();
            return std::nullopt;
        case kGetAtr:
            return kPseudoCardAtr;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<Bytes> answer_vpcd_message(const Bytes& message, VirtualReader& device) {
    if (message.size() == 1) return answer_control_code(message[0], device);
    const auto started = std::chrono::steady_clock::now();
    Bytes answer = device.reader().transmit(message);
    const auto slow = device.faults().slow_answer;
    if (slow.count() > 0) std::this_thread::sleep_for(slow);
    device.stats().record(std::chrono::steady_clock::now() - started);
    return answer;
}

}  // namespace vreader
