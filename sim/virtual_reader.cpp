#include "virtual_reader.h"

namespace vreader {

VirtualReader::VirtualReader(Scenario scenario, Presence presence)
    : scenario_(std::move(scenario)), presence_(presence) {
    chip_.use_clock(clock_);
    chip_.set_time_scale(scenario_.time_scale);
    for (Card* card : scenario_.initial_field) field_.insert(*card);
    after_change();
}

void VirtualReader::after_change() {
    reader_.poll_field();
    auto atr = reader_.card_atr();
    // An answer already announced with 61 Le is fetched over the card's connection
    // at once (switching the RF field off is such a command); on the hardware the
    // slot change that reports the card gone reaches the host after that fetch.
    if (!atr && activated_atr_ && reader_.has_pending()) return;
    if (atr != activated_atr_) {
        activated_atr_ = std::move(atr);
        ++card_number_;
    }
}

link::CardState VirtualReader::card_state() const {
    if (presence_ == Presence::Always) {
        // One pseudo-card for the whole run: handles stay valid whatever the field does.
        return {true, 0, activated_atr_.value_or(kNoCardAtr)};
    }
    if (!activated_atr_) return {false, card_number_, {}};
    return {true, card_number_, *activated_atr_};
}

}  // namespace vreader
