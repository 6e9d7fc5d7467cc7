#include "model/cards/card.h"

namespace vreader {

std::optional<Bytes> Card::activate(const Activation& activation) {
    auto data = targetData(activation);
    if (data) enter(stateAfter(activation));
    return data;
}

void Card::enter(CardState state) {
    if (state == CardState::Protocol) isoDep_.start();
    state_ = state;
}

std::optional<Bytes> Card::exchangeApdu(const Bytes& apdu) {
    auto reply = answer(apdu);
    if (reply) isoDep_.carried(*reply);
    return reply;
}

std::optional<Bytes> Card::answerBlock(const Bytes& frame, IsoDepSupport support) {
    BlockReply reply = isoDep_.receive(frame, support, [this](const Bytes& apdu) { return answer(apdu); });
    if (reply.deselected) halt();
    return std::move(reply.block);
}

void Card::powerOff() {
    state_ = CardState::Idle;
    ++powerSession_;
}

CardState Card::stateAfter(const Activation&) const { return CardState::Active; }

}  // namespace vreader
