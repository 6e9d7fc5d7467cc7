// Exchanges with activated targets, raw frames on the air, and target release.
#include "model/chip/pn532_chip.h"
#include "model/chip/pn532_codes.h"
#include "model/chip/rf_crc.h"

namespace vreader {

using namespace pn532;

namespace {

using std::chrono::microseconds;

// Bits 6 and 7 of Tg ask for chaining and NAD; the target number is the rest.
constexpr std::uint8_t kTargetNumberMask = 0x3F;
constexpr std::uint8_t kAllTargets = 0x00;
constexpr std::uint8_t kHighestBitRate = 0x02;  // 424 kbit/s
// Status bit 6: more information, the rest follows on the next InDataExchange.
constexpr std::uint8_t kMoreInformation = 0x40;
// The most card data one chip answer carries: the reader hands the chip's answer
// (D5 41 Status data) and its own 90 00 to the host in one GET RESPONSE of at most
// 256 bytes.
constexpr std::size_t kMaxDataPerAnswer = 251;

}  // namespace

Pn532Chip::ActiveTarget* Pn532Chip::target(std::uint8_t number) {
    for (ActiveTarget& t : targets_) {
        if (t.number == number) return &t;
    }
    return nullptr;
}

// A target holds while its card stays in the field, powered since its activation.
bool Pn532Chip::holds(const ActiveTarget& active) const {
    return rfFieldOn_ && field_.contains(*active.card) &&
           active.card->powerSession() == active.powerSession;
}

// The card's answer after its answer delay; nothing once the chip's timeout has
// passed when the card is slower than that, stays silent or has gone meanwhile.
std::optional<Bytes> Pn532Chip::afterAnswerDelay(
    Card& card, std::optional<microseconds> timeout,
    const std::function<std::optional<Bytes>()>& answer) {
    const microseconds delay = card.answerDelay();
    if (timeout && delay > *timeout) {
        pass(*timeout);
        return std::nullopt;
    }
    if (!pass(delay)) return std::nullopt;
    auto heard = answer();
    if (!heard && timeout) pass(*timeout - delay);
    return heard;
}

// Status byte followed by the card's answer. A card without power (field off), gone
// from the field, back but idle, or silent leaves the chip waiting until its timeout.
// The chip speaks ISO-DEP itself to an ISO/IEC 14443-4 target: the card sees the APDU.
Bytes Pn532Chip::transmitTo(ActiveTarget& active, const Bytes& frame) {
    const auto timeout = exchangeTimeout(active);
    Card& card = *active.card;
    if (faults_.exchangeTimeout || !holds(active)) {
        if (timeout) pass(*timeout);
        return Bytes{kTimeout};
    }
    if (active.deselected) {
        if (!card.activate(active.activation)) return Bytes{kTimeout};
        active.deselected = false;
    }
    const auto answer = afterAnswerDelay(card, timeout, [&]() -> std::optional<Bytes> {
        if (!holds(active)) return std::nullopt;
        if (card.state() == CardState::Protocol) {
            auto apduAnswer = card.exchangeApdu(frame);
            if (!apduAnswer) return std::nullopt;
            return join({Bytes{kSuccess}, *apduAnswer});
        }
        if (auto status = mifareAuthentication(card, frame)) return Bytes{*status};
        auto raw = card.answerRaw(frame, active.activation.modulation);
        if (!raw) return std::nullopt;
        return storageCardAnswer(card, std::move(*raw));
    });
    if (!answer) return Bytes{kTimeout};
    return chained(active.number, *answer);
}

// InDataExchange 60|61 block key(6) UID(4) to a MIFARE Classic card: the chip runs
// the cipher's handshake and reports 00, or 14 when the card refused (UM0701 7.3.8).
std::optional<std::uint8_t> Pn532Chip::mifareAuthentication(Card& card, const Bytes& frame) {
    constexpr std::size_t kAuthenticationFrameSize = 12;
    if (frame.size() != kAuthenticationFrameSize || (frame[0] != 0x60 && frame[0] != 0x61)) {
        return std::nullopt;
    }
    const auto accepted = card.authenticate(frame[0], frame[1], Bytes(frame.begin() + 2, frame.begin() + 8),
                                            Bytes(frame.begin() + 8, frame.end()));
    if (!accepted) return std::nullopt;
    return *accepted ? kStatusSuccess : kAuthenticationError;
}

// Status and data of a card answer: a storage card's ACK is status 00 without data,
// its NAK the chip's 13 (the chip takes it for no valid frame).
Bytes Pn532Chip::storageCardAnswer(const Card& card, Bytes answer) {
    if (!card.speaksIsoDep() && isFourBitAnswer(answer)) {
        return Bytes{answer[0] == kFourBitAck ? kStatusSuccess : kInvalidFrame};
    }
    return join({Bytes{kSuccess}, answer});
}

// An answer longer than one frame goes out in parts; each but the last has status
// bit 6 (MI) set and the host fetches the next with InDataExchange Tg alone.
Bytes Pn532Chip::chained(std::uint8_t targetNumber, Bytes answer) {
    const std::size_t limit = 1 + kMaxDataPerAnswer;
    if (answer.size() <= limit) return answer;
    const std::uint8_t status = answer[0];
    Bytes rest{status};
    rest.insert(rest.end(), answer.begin() + static_cast<std::ptrdiff_t>(limit), answer.end());
    more_ = std::make_pair(targetNumber, std::move(rest));
    answer.resize(limit);
    answer[0] = static_cast<std::uint8_t>(status | kMoreInformation);
    return answer;
}

// D4 40 Tg data -> D5 41 Status data
Pn532Chip::Answer Pn532Chip::inDataExchange(const Bytes& parameters) {
    if (parameters.empty()) return std::nullopt;
    const std::uint8_t number = parameters[0] & kTargetNumberMask;
    if (more_ && more_->first == number && parameters.size() == 1) {
        Bytes rest = std::move(more_->second);
        more_.reset();
        return chained(number, std::move(rest));
    }
    more_.reset();
    ActiveTarget* active = target(number);
    if (!active) return Bytes{kNotAcceptable};
    return transmitTo(*active, Bytes(parameters.begin() + 1, parameters.end()));
}

// The framing the CIU is set to (CIU_TxMode bits 1-0 framing, bits 6-4 speed).
Modulation Pn532Chip::framing() const {
    const std::uint8_t mode = registers_.at(kCiuTxMode);
    switch (mode & 0x03) {
        case 0x03: return Modulation::TypeB106;
        case 0x02: return (mode & 0x70) == 0x20 ? Modulation::FeliCa424 : Modulation::FeliCa212;
        default: return Modulation::TypeA106;
    }
}

// A raw frame on the air reaches every powered card in the field; the first that
// answers in the framing the CIU is set to is heard. Where the host keeps the CRC
// to itself (CIU bit 7 clear) it sends the CRC and receives the card's.
std::optional<std::pair<Card*, Bytes>> Pn532Chip::rawAnswer(const Bytes& frame,
                                                              Modulation modulation) {
    Bytes payload = frame;
    if ((registers_.at(kCiuTxMode) & kCiuCrcEnabled) == 0) {
        auto stripped = stripRfCrc(frame, modulation);
        if (!stripped) return std::nullopt;
        payload = std::move(*stripped);
    }
    for (Card* card : field_.cards()) {
        if (auto answer = card->answerRaw(payload, modulation)) {
            // A 4-bit ACK or NAK carries no CRC.
            const bool shortFrame = !card->speaksIsoDep() && isFourBitAnswer(*answer);
            if ((registers_.at(kCiuRxMode) & kCiuCrcEnabled) == 0 && !shortFrame) {
                const Bytes crc = rfCrc(*answer, modulation);
                answer->insert(answer->end(), crc.begin(), crc.end());
            }
            return std::make_pair(card, std::move(*answer));
        }
    }
    return std::nullopt;
}

// D4 42 data -> D5 43 Status data: the data goes raw on the air, whatever targets the
// chip holds. Only a card that speaks that frame in its present state answers, in
// its own time; with none, or a card slower than the retry timeout, the chip
// reports the timeout once that has passed.
Pn532Chip::Answer Pn532Chip::inCommunicateThru(const Bytes& parameters) {
    if (parameters.empty()) return std::nullopt;
    const auto timeout = retryTimeout();
    const bool onAir = rfFieldOn_ && !faults_.exchangeTimeout;
    auto heard = onAir ? rawAnswer(parameters, framing()) : std::nullopt;
    if (!heard) {
        if (timeout) pass(*timeout);
        return Bytes{kTimeout};
    }
    Card& card = *heard->first;
    const Bytes& answer = heard->second;
    const auto delayed = afterAnswerDelay(card, timeout, [&answer] { return std::optional(answer); });
    if (!delayed) return Bytes{kTimeout};
    return storageCardAnswer(card, *delayed);
}

// D4 44 Tg -> D5 45 Status. The card is halted; the target stays listed and the next
// exchange reselects it.
Pn532Chip::Answer Pn532Chip::inDeselect(const Bytes& parameters) {
    if (parameters.size() != 1) return std::nullopt;
    const std::uint8_t number = parameters[0] & kTargetNumberMask;
    for (ActiveTarget& t : targets_) {
        if (number != kAllTargets && t.number != number) continue;
        if (holds(t)) t.card->halt();
        t.deselected = true;
    }
    if (number == kAllTargets || target(number)) return Bytes{kSuccess};
    return Bytes{kNotAcceptable};
}

// D4 52 Tg -> D5 53 Status. The card is halted and the target forgotten.
Pn532Chip::Answer Pn532Chip::inRelease(const Bytes& parameters) {
    if (parameters.size() != 1) return std::nullopt;
    const std::uint8_t number = parameters[0] & kTargetNumberMask;
    if (number != kAllTargets && !target(number)) return Bytes{kNotAcceptable};
    std::erase_if(targets_, [this, number](const ActiveTarget& t) {
        if (number != kAllTargets && t.number != number) return false;
        if (holds(t)) t.card->halt();
        return true;
    });
    return Bytes{kSuccess};
}

// D4 4E Tg BRit BRti -> D5 4F Status
Pn532Chip::Answer Pn532Chip::inPsl(const Bytes& parameters) {
    if (parameters.size() != 3) return std::nullopt;
    ActiveTarget* active = target(parameters[0] & kTargetNumberMask);
    if (!active) return Bytes{kNotAcceptable};
    if (parameters[1] > kHighestBitRate || parameters[2] > kHighestBitRate) {
        return Bytes{kInvalidParameter};
    }
    active->bitRateTx = parameters[1];
    active->bitRateRx = parameters[2];
    return Bytes{kSuccess};
}

// The firmware's poll replaces the chip's targets, as any poll does, once it has
// found a card; finding none, it leaves them.
Card* Pn532Chip::pollForReader(const std::vector<Activation>& attempts) {
    if (!rfFieldOn_) return nullptr;
    for (const Activation& activation : attempts) {
        selectModulation(activation.modulation);
        for (Card* card : field_.cards()) {
            if (!card->activate(activation)) continue;
            const std::uint8_t rate = bitRateOf(activation.modulation);
            targets_.clear();
            more_.reset();
            targets_.push_back({1, card, activation, card->powerSession(), rate, rate, true, false});
            return card;
        }
    }
    return nullptr;
}

// Targets the host made of the card stay until the host polls or releases them:
// the chip cannot know the card left, and exchanges with them time out.
void Pn532Chip::releaseTargetsOf(const Card& card) {
    std::erase_if(targets_, [&card](const ActiveTarget& t) { return t.byReader && t.card == &card; });
}

Card* Pn532Chip::firstTargetCard() const {
    for (const ActiveTarget& t : targets_) {
        if (t.number == 1 && holds(t)) return t.card;
    }
    return nullptr;
}

void Pn532Chip::wakeFirstTarget() {
    for (ActiveTarget& t : targets_) {
        if (t.number == 1 && holds(t) && t.card->state() == CardState::Idle) {
            t.card->activate(t.activation);
            t.deselected = false;
        }
    }
}

std::optional<Activation> Pn532Chip::firstTargetActivation() const {
    for (const ActiveTarget& t : targets_) {
        if (t.number == 1) return t.activation;
    }
    return std::nullopt;
}

}  // namespace vreader
