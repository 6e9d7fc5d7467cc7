#include "model/cards/type_a_card.h"

namespace vreader {

namespace {

constexpr std::uint8_t kCascadeTag = 0x88;
constexpr std::uint8_t kRats = 0xE0;
const Bytes kHalt{0x50, 0x00};
// ATS: TL, then T0 whose bits 5 to 7 announce TA1, TB1 and TC1.
constexpr std::uint8_t kAtsTa1 = 0x10;
constexpr std::uint8_t kAtsTb1 = 0x20;
constexpr std::uint8_t kAtsTc1 = 0x40;
constexpr std::uint8_t kDefaultFwi = 4;  // TB1 absent (ISO/IEC 14443-4 5.2.5)

}  // namespace

Bytes cascadedUid(const Bytes& uid) {
    if (uid.size() <= 4) return uid;
    Bytes cascaded{kCascadeTag};
    if (uid.size() == 7) {
        cascaded.insert(cascaded.end(), uid.begin(), uid.end());
        return cascaded;
    }
    cascaded.insert(cascaded.end(), uid.begin(), uid.begin() + 3);
    cascaded.push_back(kCascadeTag);
    cascaded.insert(cascaded.end(), uid.begin() + 3, uid.end());
    return cascaded;
}

TypeACard::TypeACard(std::string id, std::chrono::milliseconds answerDelay,
                     TypeAIdentity identity, ResponseTable apdus)
    : Card(std::move(id), answerDelay), identity_(std::move(identity)), apdus_(std::move(apdus)) {}

std::optional<Bytes> TypeACard::targetData(const Activation& activation) const {
    if (activation.modulation != Modulation::TypeA106) return std::nullopt;
    if (activation.iso14443_4Only && !speaksIso14443_4()) return std::nullopt;
    // An initiator UID asks for one card in particular, in its cascaded form.
    if (!activation.initiatorData.empty() &&
        activation.initiatorData != cascadedUid(identity_.uid)) {
        return std::nullopt;
    }
    Bytes data = identity_.sensRes;
    data.push_back(identity_.selRes);
    data.push_back(static_cast<std::uint8_t>(identity_.uid.size()));
    data.insert(data.end(), identity_.uid.begin(), identity_.uid.end());
    if (speaksIso14443_4() && activation.rats) {
        data.insert(data.end(), identity_.ats.begin(), identity_.ats.end());
    }
    return data;
}

CardState TypeACard::stateAfter(const Activation& activation) const {
    return speaksIso14443_4() && activation.rats ? CardState::Protocol : CardState::Active;
}

std::optional<Bytes> TypeACard::answer(const Bytes& frame) {
    // A card that does not speak ISO/IEC 14443-4 ignores APDUs.
    if (!speaksIso14443_4()) return std::nullopt;
    return apdus_.answer(frame);
}

std::optional<Bytes> TypeACard::answerRaw(const Bytes& frame, Modulation modulation) {
    if (modulation != Modulation::TypeA106 || state() == CardState::Idle) return std::nullopt;
    if (frame == kHalt && state() == CardState::Active) {
        halt();
        return std::nullopt;
    }
    if (state() == CardState::Active) return answerSelected(frame);
    return answerBlock(frame, isoDepSupport());
}

// RATS: E0, then FSDI and CID. The card answers its ATS and enters ISO/IEC 14443-4.
std::optional<Bytes> TypeACard::answerSelected(const Bytes& frame) {
    if (!speaksIso14443_4() || frame.size() != 2 || frame[0] != kRats) return std::nullopt;
    enter(CardState::Protocol);
    return identity_.ats;
}

std::optional<std::uint8_t> TypeACard::atsInterfaceByte(std::uint8_t presenceBit) const {
    const Bytes& ats = identity_.ats;
    if (ats.size() < 2 || (ats[1] & presenceBit) == 0) return std::nullopt;
    std::size_t index = 2;
    for (std::uint8_t bit = kAtsTa1; bit < presenceBit; bit = static_cast<std::uint8_t>(bit << 1)) {
        if ((ats[1] & bit) != 0) ++index;
    }
    if (index >= ats.size()) return std::nullopt;
    return ats[index];
}

Bytes TypeACard::historicalBytes() const {
    const Bytes& ats = identity_.ats;
    if (ats.size() < 2) return {};
    std::size_t first = 2;
    for (const std::uint8_t bit : {kAtsTa1, kAtsTb1, kAtsTc1}) {
        if ((ats[1] & bit) != 0) ++first;
    }
    const std::size_t end = std::min<std::size_t>(ats.size(), ats[0]);
    if (first >= end) return {};
    return Bytes(ats.begin() + static_cast<std::ptrdiff_t>(first),
                 ats.begin() + static_cast<std::ptrdiff_t>(end));
}

// TB1's high nibble; 4 when TB1 is absent.
std::uint8_t TypeACard::frameWaitingInteger() const {
    const auto tb1 = atsInterfaceByte(kAtsTb1);
    return tb1 ? static_cast<std::uint8_t>(*tb1 >> 4) : kDefaultFwi;
}

// TC1 bit 2: CID supported, bit 1: NAD supported; absent TC1 means CID only.
IsoDepSupport TypeACard::isoDepSupport() const {
    const auto tc1 = atsInterfaceByte(kAtsTc1);
    if (!tc1) return IsoDepSupport{};
    return IsoDepSupport{(*tc1 & 0x02) != 0, (*tc1 & 0x01) != 0};
}

}  // namespace vreader
