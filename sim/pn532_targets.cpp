// Exchanges with activated targets and their release.
#include <thread>

#include "pn532_chip.h"
#include "pn532_codes.h"

namespace vreader {

using namespace pn532;

namespace {

// Bits 6 and 7 of Tg ask for chaining and NAD; the target number is the rest.
constexpr std::uint8_t kTargetNumberMask = 0x3F;
constexpr std::uint8_t kAllTargets = 0x00;
constexpr std::uint8_t kHighestBitRate = 0x02;  // 424 kbit/s

}  // namespace

Pn532Chip::ActiveTarget* Pn532Chip::target(std::uint8_t number) {
    for (ActiveTarget& t : targets_) {
        if (t.number == number) return &t;
    }
    return nullptr;
}

// Status byte followed by the card's answer. A card without power (field off), gone
// from the field, or silent leaves the chip waiting until its timeout.
Bytes Pn532Chip::transmit_to(const ActiveTarget& active, const Bytes& frame) const {
    if (faults_.exchange_timeout || !rf_field_on_ || !field_.contains(*active.card)) {
        return Bytes{kTimeout};
    }
    const auto delay = active.card->answer_delay();
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
    const auto answer = active.card->answer(frame);
    if (!answer) return Bytes{kTimeout};
    return join({Bytes{kSuccess}, *answer});
}

// D4 40 Tg data -> D5 41 Status data
Pn532Chip::Answer Pn532Chip::in_data_exchange(const Bytes& parameters) {
    if (parameters.empty()) return std::nullopt;
    const ActiveTarget* active = target(parameters[0] & kTargetNumberMask);
    if (!active) return Bytes{kNotAcceptable};
    return transmit_to(*active, Bytes(parameters.begin() + 1, parameters.end()));
}

// D4 42 data -> D5 43 Status data: raw frames to the first target; with no target
// nothing can answer.
Pn532Chip::Answer Pn532Chip::in_communicate_thru(const Bytes& parameters) {
    if (parameters.empty()) return std::nullopt;
    if (targets_.empty()) return Bytes{kTimeout};
    return transmit_to(targets_.front(), parameters);
}

// D4 44 Tg -> D5 45 Status. The target stays listed; the next exchange reselects it.
Pn532Chip::Answer Pn532Chip::in_deselect(const Bytes& parameters) {
    if (parameters.size() != 1) return std::nullopt;
    const std::uint8_t number = parameters[0] & kTargetNumberMask;
    if (number == kAllTargets || target(number)) return Bytes{kSuccess};
    return Bytes{kNotAcceptable};
}

// D4 52 Tg -> D5 53 Status. The target is forgotten.
Pn532Chip::Answer Pn532Chip::in_release(const Bytes& parameters) {
    if (parameters.size() != 1) return std::nullopt;
    const std::uint8_t number = parameters[0] & kTargetNumberMask;
    if (number == kAllTargets) {
        targets_.clear();
        return Bytes{kSuccess};
    }
    const ActiveTarget* active = target(number);
    if (!active) return Bytes{kNotAcceptable};
    std::erase_if(targets_, [number](const ActiveTarget& t) { return t.number == number; });
    return Bytes{kSuccess};
}

// D4 4E Tg BRit BRti -> D5 4F Status
Pn532Chip::Answer Pn532Chip::in_psl(const Bytes& parameters) {
    if (parameters.size() != 3) return std::nullopt;
    ActiveTarget* active = target(parameters[0] & kTargetNumberMask);
    if (!active) return Bytes{kNotAcceptable};
    if (parameters[1] > kHighestBitRate || parameters[2] > kHighestBitRate) {
        return Bytes{kInvalidParameter};
    }
    active->bit_rate_tx = parameters[1];
    active->bit_rate_rx = parameters[2];
    return Bytes{kSuccess};
}

}  // namespace vreader
