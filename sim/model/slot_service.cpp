#include "model/slot_service.h"

namespace vreader {

SlotService::SlotService(Acr122uReader& reader, const Pn532Chip& chip, const Field& field, const Faults& faults,
                         ReaderClock& clock, HandlerStats& stats, Presence presence)
    : reader_(reader), chip_(chip), field_(field), faults_(faults), clock_(clock), stats_(stats),
      presence_(presence) {}

SlotView SlotService::view() const {
    SlotView view;
    if (presence_ == Presence::Always) {
        // One pseudo-card for the whole run: handles stay valid whatever the field does.
        view.present = true;
        view.atr = activatedAtr_.value_or(kNoCardAtr);
    } else {
        view.present = activatedAtr_.has_value();
        view.cardNumber = cardNumber_;
        if (activatedAtr_) view.atr = *activatedAtr_;
    }
    view.powered = view.present && powered_ && poweredCard_ == view.cardNumber;
    return view;
}

std::optional<Bytes> SlotService::powerOn() {
    const SlotView slot = view();
    if (!slot.present) return std::nullopt;
    reader_.dropPending();
    powered_ = true;
    poweredCard_ = slot.cardNumber;
    return slot.atr;
}

void SlotService::powerOff() {
    reader_.dropPending();
    powered_ = false;
}

std::optional<Bytes> SlotService::transmit(const Bytes& apdu) {
    if (!view().present) return std::nullopt;
    return runCommand(apdu);
}

Bytes SlotService::escape(const Bytes& command) { return runCommand(command); }

// One command through the reader, counted; a slow-answer fault holds it back on
// reader time, so that the program keeps serving its control channel meanwhile.
Bytes SlotService::runCommand(const Bytes& command) {
    const auto started = std::chrono::steady_clock::now();
    Bytes answer = reader_.exchangeWhole(command);
    const auto slowUntil = std::chrono::steady_clock::now() + faults_.slowAnswer;
    for (auto left = slowUntil - std::chrono::steady_clock::now(); left.count() > 0 && !clock_.stopping();
         left = slowUntil - std::chrono::steady_clock::now()) {
        clock_.wait(std::chrono::ceil<std::chrono::microseconds>(left));
    }
    stats_.record(std::chrono::steady_clock::now() - started);
    afterChange();
    return answer;
}

// The host switched the RF field off (RFConfiguration item 01) while the slot's card
// lies in it: the tag loses power and goes idle, but it has not left, so the slot
// keeps it until the next poll activates it again.
bool SlotService::hostCyclesFieldUnder(const Card* card) const {
    return card != nullptr && !chip_.rfFieldOn() && field_.contains(*card);
}

void SlotService::afterChange() {
    reader_.pollField();
    auto atr = reader_.cardAtr();
    // An answer already announced with 61 Le is fetched over the card's connection
    // at once; the slot change that reports the card gone comes after that fetch.
    if (!atr && activatedAtr_ && reader_.hasPending()) return;
    if (!atr && activatedAtr_ && hostCyclesFieldUnder(activatedCard_)) return;
    if (atr != activatedAtr_ || reader_.card() != activatedCard_) {
        activatedAtr_ = std::move(atr);
        activatedCard_ = activatedAtr_ ? reader_.card() : nullptr;
        ++cardNumber_;
    }
}

}  // namespace vreader
