// InListPassiveTarget and InAutoPoll: finding cards in the field and activating them.
#include "pn532_chip.h"
#include "pn532_codes.h"

namespace vreader {

using namespace pn532;

namespace {

// The Polling request the chip sends for InAutoPoll's FeliCa types: any system,
// asking for the system code, one time slot.
const Bytes kAutoPollFeliCaRequest{0x00, 0xFF, 0xFF, 0x01, 0x00};
constexpr std::size_t kFeliCaPollingRequestSize = 5;
constexpr std::size_t kMaxAutoPollTypes = 15;

std::optional<Activation> activation_for_baud_modulation(std::uint8_t brty, const Bytes& data) {
    switch (brty) {
        case kTypeA106: return Activation{Modulation::TypeA106, data, false};
        case kTypeB106: return Activation{Modulation::TypeB106, data, false};
        case kFeliCa212:
        case kFeliCa424:
            if (data.size() != kFeliCaPollingRequestSize) return std::nullopt;
            return Activation{brty == kFeliCa212 ? Modulation::FeliCa212 : Modulation::FeliCa424,
                              data, false};
        default: return std::nullopt;
    }
}

// What the chip tries for one InAutoPoll type code; nothing for the types no virtual
// card answers (Jewel, DEP).
std::optional<Activation> activation_for_autopoll_type(std::uint8_t type) {
    switch (type) {
        case kGenericTypeA106:
        case kMifare106: return Activation{Modulation::TypeA106, {}, false};
        case kIso14443_4A106: return Activation{Modulation::TypeA106, {}, true};
        case kIso14443_4B106Generic:
        case kIso14443_4B106: return Activation{Modulation::TypeB106, {0x00}, false};
        case kGenericFeliCa212:
        case kFeliCaAt212: return Activation{Modulation::FeliCa212, kAutoPollFeliCaRequest, false};
        case kGenericFeliCa424:
        case kFeliCaAt424: return Activation{Modulation::FeliCa424, kAutoPollFeliCaRequest, false};
        default: return std::nullopt;
    }
}

std::uint8_t bit_rate_of(Modulation modulation) {
    switch (modulation) {
        case Modulation::FeliCa212: return 0x01;
        case Modulation::FeliCa424: return 0x02;
        default: return 0x00;
    }
}

}  // namespace

// Each attempt in turn, each card in field order; a card found once is not found
// again. Like the real chip, an initiator poll switches the RF field on by itself
// when a host switched it off: applications that close with "RF field off" find
// their cards again on the next poll without an explicit RFConfiguration.
std::vector<Pn532Chip::FoundTarget> Pn532Chip::poll(
    const std::vector<std::pair<std::uint8_t, Activation>>& attempts,
    std::size_t max_targets) {
    rf_field_on_ = true;
    std::vector<FoundTarget> found;
    const auto already_found = [&found](const Card* card) {
        for (const FoundTarget& f : found) {
            if (f.card == card) return true;
        }
        return false;
    };
    for (const auto& [type, activation] : attempts) {
        for (Card* card : field_.cards()) {
            if (found.size() == max_targets) return found;
            if (already_found(card)) continue;
            if (auto data = card->target_data(activation)) {
                found.push_back({card, activation.modulation, type, std::move(*data)});
            }
        }
    }
    return found;
}

// A new poll replaces the previous targets. The vanish fault takes the first card
// out of the field as soon as it has been reported.
void Pn532Chip::activate(const std::vector<FoundTarget>& found) {
    targets_.clear();
    std::uint8_t number = 1;
    for (const FoundTarget& f : found) {
        const std::uint8_t rate = bit_rate_of(f.modulation);
        targets_.push_back({number++, f.card, f.modulation, rate, rate});
    }
    if (faults_.vanish_after_poll && !found.empty()) {
        field_.remove(*found.front().card);
        faults_.vanish_after_poll = false;
    }
}

// D4 4A MaxTg BrTy InitiatorData -> D5 4B NbTg (Tg TargetData)...
Pn532Chip::Answer Pn532Chip::in_list_passive_target(const Bytes& parameters) {
    if (parameters.size() < 2) return std::nullopt;
    const std::uint8_t max_targets = parameters[0];
    if (max_targets < 1 || max_targets > kMaxTargets) return std::nullopt;
    const Bytes initiator_data(parameters.begin() + 2, parameters.end());
    const std::uint8_t brty = parameters[1];
    if (brty == kJewel106) {
        activate({});
        return Bytes{0x00};
    }
    const auto activation = activation_for_baud_modulation(brty, initiator_data);
    if (!activation) return std::nullopt;

    const auto found = poll({{brty, *activation}}, max_targets);
    Bytes answer{static_cast<std::uint8_t>(found.size())};
    std::uint8_t number = 1;
    for (const FoundTarget& f : found) {
        answer.push_back(number++);
        answer.insert(answer.end(), f.target_data.begin(), f.target_data.end());
    }
    activate(found);
    return answer;
}

// D4 60 PollNr Period Type... -> D5 61 NbTg (Type Ln Tg TargetData)...
// Virtual cards answer at once, so the poll period never has to run out.
Pn532Chip::Answer Pn532Chip::in_auto_poll(const Bytes& parameters) {
    if (parameters.size() < 3 || parameters.size() > 2 + kMaxAutoPollTypes) return std::nullopt;
    if (parameters[0] == 0x00 || parameters[1] == 0x00) return std::nullopt;
    std::vector<std::pair<std::uint8_t, Activation>> attempts;
    for (auto type = parameters.begin() + 2; type != parameters.end(); ++type) {
        if (auto activation = activation_for_autopoll_type(*type)) {
            attempts.emplace_back(*type, std::move(*activation));
        }
    }
    const auto found = poll(attempts, kMaxTargets);
    Bytes answer{static_cast<std::uint8_t>(found.size())};
    std::uint8_t number = 1;
    for (const FoundTarget& f : found) {
        answer.push_back(f.autopoll_type);
        answer.push_back(static_cast<std::uint8_t>(f.target_data.size() + 1));
        answer.push_back(number++);
        answer.insert(answer.end(), f.target_data.begin(), f.target_data.end());
    }
    activate(found);
    return answer;
}

}  // namespace vreader
