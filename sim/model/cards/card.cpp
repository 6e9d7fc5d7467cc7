#include "model/cards/card.h"

namespace vreader {

std::optional<Bytes> Card::activate(const Activation& activation) {
    auto data = targetData(activation);
    if (data) state_ = stateAfter(activation);
    return data;
}

void Card::powerOff() {
    state_ = CardState::Idle;
    ++powerSession_;
}

CardState Card::stateAfter(const Activation&) const { return CardState::Active; }

}  // namespace vreader
