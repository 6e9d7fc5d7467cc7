#include "program/virtual_reader.h"

namespace vreader {

VirtualReader::VirtualReader(Scenario scenario, Presence presence)
    : scenario_(std::move(scenario)), presence_(presence) {
    chip_.useClock(clock_);
    chip_.setTimeScale(scenario_.timeScale);
    for (Card* card : scenario_.initialField) field_.insert(*card);
    afterChange();
}

void VirtualReader::afterChange() {
    reader_.pollField();
    auto atr = reader_.cardAtr();
    // An answer already announced with 61 Le is fetched over the card's connection
    // at once (switching the RF field off is such a command); on the hardware the
    // slot change that reports the card gone reaches the host after that fetch.
    if (!atr && activatedAtr_ && reader_.hasPending()) return;
    if (atr != activatedAtr_) {
        activatedAtr_ = std::move(atr);
        ++cardNumber_;
    }
}

link::CardState VirtualReader::cardState() const {
    if (presence_ == Presence::Always) {
        // One pseudo-card for the whole run: handles stay valid whatever the field does.
        return {true, 0, activatedAtr_.value_or(kNoCardAtr)};
    }
    if (!activatedAtr_) return {false, cardNumber_, {}};
    return {true, cardNumber_, *activatedAtr_};
}

}  // namespace vreader
