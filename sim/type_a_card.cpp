#include "type_a_card.h"

namespace vreader {

TypeACard::TypeACard(std::string id, std::chrono::milliseconds answer_delay,
                     TypeAIdentity identity, ResponseTable apdus)
    : Card(std::move(id), answer_delay), identity_(std::move(identity)), apdus_(std::move(apdus)) {}

std::optional<Bytes> TypeACard::target_data(const Activation& activation) const {
    if (activation.modulation != Modulation::TypeA106) return std::nullopt;
    if (activation.iso14443_4_only && !speaks_iso14443_4()) return std::nullopt;
    // An initiator UID asks for one card in particular.
    if (!activation.initiator_data.empty() && activation.initiator_data != identity_.uid) {
        return std::nullopt;
    }
    Bytes data = identity_.sens_res;
    data.push_back(identity_.sel_res);
    data.push_back(static_cast<std::uint8_t>(identity_.uid.size()));
    data.insert(data.end(), identity_.uid.begin(), identity_.uid.end());
    if (speaks_iso14443_4()) data.insert(data.end(), identity_.ats.begin(), identity_.ats.end());
    return data;
}

std::optional<Bytes> TypeACard::answer(const Bytes& frame) {
    // A card that does not speak ISO/IEC 14443-4 ignores APDUs.
    if (!speaks_iso14443_4()) return std::nullopt;
    return apdus_.answer(frame);
}

}  // namespace vreader
