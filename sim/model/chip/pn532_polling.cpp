// InListPassiveTarget and InAutoPoll: finding cards in the field and activating them,
// and the time that takes when no card answers.
#include "model/chip/pn532_chip.h"
#include "model/chip/pn532_codes.h"

namespace vreader {

using namespace pn532;

namespace {

using std::chrono::microseconds;

// The Polling request the chip sends for InAutoPoll's FeliCa types: any system,
// asking for the system code, one time slot.
const Bytes kAutoPollFeliCaRequest{0x00, 0xFF, 0xFF, 0x01, 0x00};
constexpr std::size_t kFeliCaPollingRequestSize = 5;
constexpr std::size_t kMaxAutoPollTypes = 15;
// MxRtyPassiveActivation and InAutoPoll's PollNr: 0xFF retries for ever.
constexpr std::uint8_t kForever = 0xFF;
// InAutoPoll's Period counts units of 150 ms (UM0701 7.3.13).
constexpr microseconds kAutoPollPeriodUnit = std::chrono::milliseconds(150);

// CIU_TxMode/CIU_RxMode values the chip sets for a modulation: CRC on, speed, framing.
std::uint8_t ciuModeOf(Modulation modulation) {
    switch (modulation) {
        case Modulation::TypeB106: return 0x83;
        case Modulation::FeliCa212: return 0x92;
        case Modulation::FeliCa424: return 0xA2;
        default: return 0x80;
    }
}

std::optional<Activation> activationForBaudModulation(std::uint8_t brty, const Bytes& data,
                                                         bool rats) {
    switch (brty) {
        case kTypeA106: return Activation{Modulation::TypeA106, data, false, rats};
        case kTypeB106: return Activation{Modulation::TypeB106, data, false, rats};
        case kFeliCa212:
        case kFeliCa424:
            if (data.size() != kFeliCaPollingRequestSize) return std::nullopt;
            return Activation{brty == kFeliCa212 ? Modulation::FeliCa212 : Modulation::FeliCa424,
                              data, false, rats};
        default: return std::nullopt;
    }
}

// What the chip tries for one InAutoPoll type code; nothing for the types no virtual
// card answers (Jewel, DEP). ISO/IEC 14443-4 Type A always gets its RATS.
std::optional<Activation> activationForAutopollType(std::uint8_t type, bool rats) {
    switch (type) {
        case kGenericTypeA106:
        case kMifare106: return Activation{Modulation::TypeA106, {}, false, rats};
        case kIso14443_4A106: return Activation{Modulation::TypeA106, {}, true, true};
        case kIso14443_4B106Generic:
        case kIso14443_4B106: return Activation{Modulation::TypeB106, {0x00}, false, true};
        case kGenericFeliCa212:
        case kFeliCaAt212:
            return Activation{Modulation::FeliCa212, kAutoPollFeliCaRequest, false, true};
        case kGenericFeliCa424:
        case kFeliCaAt424:
            return Activation{Modulation::FeliCa424, kAutoPollFeliCaRequest, false, true};
        default: return std::nullopt;
    }
}

}  // namespace

std::uint8_t Pn532Chip::bitRateOf(Modulation modulation) {
    switch (modulation) {
        case Modulation::FeliCa212: return 0x01;
        case Modulation::FeliCa424: return 0x02;
        default: return 0x00;
    }
}

// Polling sets the CIU to the modulation polled, so raw frames sent afterwards
// travel in it.
void Pn532Chip::selectModulation(Modulation modulation) {
    registers_[kCiuTxMode] = ciuModeOf(modulation);
    registers_[kCiuRxMode] = ciuModeOf(modulation);
}

// One pass: each attempt in turn, each card in field order; a card found once is
// not found again. Like the real chip, an initiator poll switches the RF field on by
// itself when a host switched it off: applications that close with "RF field off"
// find their cards again on the next poll without an explicit RFConfiguration.
std::vector<Pn532Chip::FoundTarget> Pn532Chip::poll(
    const std::vector<std::pair<std::uint8_t, Activation>>& attempts,
    std::size_t maxTargets) {
    switchRfField(true);
    std::vector<FoundTarget> found;
    const auto alreadyFound = [&found](const Card* card) {
        for (const FoundTarget& f : found) {
            if (f.card == card) return true;
        }
        return false;
    };
    for (const auto& [type, activation] : attempts) {
        selectModulation(activation.modulation);
        for (Card* card : field_.cards()) {
            if (found.size() == maxTargets) return found;
            if (alreadyFound(card)) continue;
            if (auto data = card->activate(activation)) {
                found.push_back({card, activation, type, std::move(*data)});
            }
        }
    }
    return found;
}

// InListPassiveTarget tries 1 + MxRtyPassiveActivation times (0xFF: until a card
// answers), each fruitless attempt taking its time; a card that arrives meanwhile is
// found at once.
std::vector<Pn532Chip::FoundTarget> Pn532Chip::pollWithRetries(
    const std::vector<std::pair<std::uint8_t, Activation>>& attempts, std::size_t maxTargets) {
    const std::uint8_t retries = maxRetries_[2];
    for (unsigned attempt = 0;;) {
        auto found = poll(attempts, maxTargets);
        if (!found.empty()) return found;
        const Waited waited = wait(activationAttemptTime());
        if (waited == Waited::HostGaveUp) return found;
        if (waited == Waited::TimeUp) {
            if (retries != kForever && attempt >= retries) return found;
            ++attempt;
        }
    }
}

// A new poll replaces the previous targets. The vanish fault takes the first card
// out of the field as soon as it has been reported.
void Pn532Chip::activate(const std::vector<FoundTarget>& found) {
    targets_.clear();
    std::uint8_t number = 1;
    for (const FoundTarget& f : found) {
        const std::uint8_t rate = bitRateOf(f.activation.modulation);
        targets_.push_back({number++, f.card, f.activation, f.card->powerSession(), rate, rate,
                            false, false});
    }
    // The chip stays ready to talk to target 1: raw frames sent next travel in its
    // modulation, not in that of the last type the poll tried after finding it.
    if (!found.empty()) selectModulation(found.front().activation.modulation);
    if (faults_.vanishAfterPoll && !found.empty()) {
        field_.remove(*found.front().card);
        faults_.vanishAfterPoll = false;
    }
}

// D4 4A MaxTg BrTy InitiatorData -> D5 4B NbTg (Tg TargetData)...
Pn532Chip::Answer Pn532Chip::inListPassiveTarget(const Bytes& parameters) {
    if (parameters.size() < 2) return std::nullopt;
    const std::uint8_t maxTargets = parameters[0];
    if (maxTargets < 1 || maxTargets > kMaxTargets) return std::nullopt;
    const Bytes initiatorData(parameters.begin() + 2, parameters.end());
    const std::uint8_t brty = parameters[1];
    if (brty == kJewel106) {
        // No virtual card is a Jewel: the attempts run out (or never do) unanswered.
        activate({});
        pollWithRetries({}, maxTargets);
        return Bytes{0x00};
    }
    const auto activation = activationForBaudModulation(brty, initiatorData, automaticRats());
    if (!activation) return std::nullopt;

    const auto found = pollWithRetries({{brty, *activation}}, maxTargets);
    Bytes answer{static_cast<std::uint8_t>(found.size())};
    std::uint8_t number = 1;
    for (const FoundTarget& f : found) {
        answer.push_back(number++);
        answer.insert(answer.end(), f.targetData.begin(), f.targetData.end());
    }
    activate(found);
    return answer;
}

// D4 60 PollNr Period Type... -> D5 61 NbTg (Type Ln Tg TargetData)...
// PollNr rounds (0xFF: until a card answers); a fruitless round spends Period x
// 150 ms on each type. A card that arrives meanwhile is found at once.
Pn532Chip::Answer Pn532Chip::inAutoPoll(const Bytes& parameters) {
    if (parameters.size() < 3 || parameters.size() > 2 + kMaxAutoPollTypes) return std::nullopt;
    const std::uint8_t rounds = parameters[0];
    const std::uint8_t period = parameters[1];
    if (rounds == 0x00 || period == 0x00 || period > 0x0F) return std::nullopt;
    std::vector<std::pair<std::uint8_t, Activation>> attempts;
    for (auto type = parameters.begin() + 2; type != parameters.end(); ++type) {
        if (auto activation = activationForAutopollType(*type, automaticRats())) {
            attempts.emplace_back(*type, std::move(*activation));
        }
    }
    const microseconds roundTime =
        kAutoPollPeriodUnit * period * static_cast<int>(parameters.size() - 2);
    std::vector<FoundTarget> found;
    for (unsigned round = 0; found.empty() && (rounds == kForever || round < rounds);) {
        found = poll(attempts, kMaxTargets);
        if (!found.empty()) break;
        const Waited waited = wait(roundTime);
        if (waited == Waited::HostGaveUp) break;
        if (waited == Waited::TimeUp) ++round;
    }
    Bytes answer{static_cast<std::uint8_t>(found.size())};
    std::uint8_t number = 1;
    for (const FoundTarget& f : found) {
        answer.push_back(f.autopollType);
        answer.push_back(static_cast<std::uint8_t>(f.targetData.size() + 1));
        answer.push_back(number++);
        answer.insert(answer.end(), f.targetData.begin(), f.targetData.end());
    }
    activate(found);
    return answer;
}

// D4 56 (or 46) ActPass BR Next [PassiveInitiatorData] [NFCID3i] [Gi] -> D5 57 (47)
// Status ... No virtual card is an ISO/IEC 18092 DEP target, so the chip reports its
// timeout once it has tried as often as it is told: in passive mode its passive
// activation attempts, in active mode 1 + MxRtyATR ATR_REQ each waiting the
// ATR_RES timeout of RFConfiguration item 02 (0xFF: for ever).
Pn532Chip::Answer Pn532Chip::inJumpForDep(const Bytes& parameters) {
    if (parameters.size() < 3 || parameters[0] > 0x01 || parameters[1] > 0x02) return std::nullopt;
    activate({});
    if (parameters[0] == 0x00) {
        pollWithRetries({}, kMaxTargets);
        return Bytes{kTimeout};
    }
    // Without an ATR_RES timeout, or retrying for ever, the chip waits for good.
    const std::uint8_t retries = maxRetries_[0];
    const auto timeout = atrResTimeout();
    const bool endless = !timeout || retries == kForever;
    for (unsigned attempt = 0; endless || attempt <= retries; ++attempt) {
        if (wait(timeout) == Waited::HostGaveUp) break;
    }
    return Bytes{kTimeout};
}

}  // namespace vreader
