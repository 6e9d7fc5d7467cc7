#include "model/cards/type_b_card.h"

namespace vreader {

namespace {
constexpr std::uint8_t kAtqbCode = 0x50;
// The CID the PN532 puts in its ATTRIB (Param 4, low nibble).
constexpr std::uint8_t kChipsAttribCid = 0x01;
}

TypeBCard::TypeBCard(std::string id, std::chrono::milliseconds answerDelay,
                     TypeBIdentity identity, ResponseTable apdus)
    : Card(std::move(id), answerDelay), identity_(std::move(identity)), apdus_(std::move(apdus)) {}

Bytes TypeBCard::atqb() const {
    return join({Bytes{kAtqbCode}, identity_.pupi, identity_.applicationData,
                 identity_.protocolInfo});
}

// AFI 00 calls every card; otherwise the family (high nibble) must match, and the
// sub-family too unless the request leaves it 0.
bool TypeBCard::answersAfi(const Bytes& initiatorData) const {
    const std::uint8_t wanted = initiatorData.empty() ? 0 : initiatorData[0];
    if (wanted == 0) return true;
    const std::uint8_t own = identity_.applicationData.empty() ? 0 : identity_.applicationData[0];
    if ((wanted & 0xF0) != (own & 0xF0)) return false;
    return (wanted & 0x0F) == 0 || (wanted & 0x0F) == (own & 0x0F);
}

std::optional<Bytes> TypeBCard::targetData(const Activation& activation) const {
    if (activation.modulation != Modulation::TypeB106) return std::nullopt;
    if (!answersAfi(activation.initiatorData)) return std::nullopt;
    Bytes data = atqb();
    data.push_back(static_cast<std::uint8_t>(identity_.attribResponse.size()));
    data.insert(data.end(), identity_.attribResponse.begin(), identity_.attribResponse.end());
    return data;
}

std::optional<Bytes> TypeBCard::answer(const Bytes& frame) { return apdus_.answer(frame); }

// Raw frames reach the card only as ISO-DEP blocks once ATTRIB has activated it;
// protocol info byte 3 says whether it takes a CID (bit 1) and a NAD (bit 2).
std::optional<Bytes> TypeBCard::answerRaw(const Bytes& frame, Modulation modulation) {
    if (modulation != Modulation::TypeB106 || state() != CardState::Protocol) return std::nullopt;
    const std::uint8_t options = identity_.protocolInfo.size() == 3 ? identity_.protocolInfo[2] : 0;
    return answerBlock(frame, IsoDepSupport{(options & 0x01) != 0, (options & 0x02) != 0, kChipsAttribCid});
}

// The high nibble of protocol info byte 3.
std::uint8_t TypeBCard::frameWaitingInteger() const {
    if (identity_.protocolInfo.size() != 3) return 4;
    return static_cast<std::uint8_t>(identity_.protocolInfo[2] >> 4);
}

}  // namespace vreader
