#include "card.h"

namespace vreader {

std::optional<Bytes> Card::activate(const Activation& activation) {
    auto data = target_data(activation);
    if (data) state_ = state_after(activation);
    return data;
}

void Card::power_off() {
    state_ = CardState::Idle;
    ++power_session_;
}

CardState Card::state_after(const Activation&) const { return CardState::Active; }

}  // namespace vreader
