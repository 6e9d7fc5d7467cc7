#include "model/pseudo_atr.h"

#include <algorithm>

#include "model/cards/felica_card.h"
#include "model/cards/type2_tag.h"
#include "model/cards/type_a_card.h"
#include "model/cards/type_b_card.h"

namespace vreader {

namespace {

// TS, T0 (TD1 follows, low nibble the number of historical bytes), TD1 (T=0, TD2
// follows), TD2 (T=1).
constexpr std::uint8_t kDirectConvention = 0x3B;
constexpr std::uint8_t kTd1Follows = 0x80;
const Bytes kTd1Td2{0x80, 0x01};
// Storage cards: category 80, application identifier tag 4F of 12 bytes: the PC/SC
// RID A0 00 00 03 06, then SS, C0 C1 and four RFU bytes.
const Bytes kStorageHeader{0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06};
const Bytes kStorageRfu{0x00, 0x00, 0x00, 0x00};
// Standard byte: the reader writes 03 (ISO/IEC 14443 A part 3) for every storage
// card, FeliCa included (API manual 3.1.1; ATRs recorded from real readers agree).
constexpr std::uint8_t kStandardIso14443A3 = 0x03;
// Card names (PC/SC part 3 supplement).
const Bytes kNameMifare1k{0x00, 0x01};
const Bytes kNameMifare4k{0x00, 0x02};
const Bytes kNameUltralight{0x00, 0x03};
const Bytes kNameMifareMini{0x00, 0x26};
// The reader's own names for FeliCa at 212 and 424 kbit/s (API manual 3.1.1).
const Bytes kNameFeliCa212{0xF0, 0x11};
const Bytes kNameFeliCa424{0xF0, 0x12};

// T0 counts at most 15 historical bytes.
constexpr std::size_t kMaxHistoricalBytes = 15;

Bytes atrWithHistoricalBytes(const Bytes& historical) {
    const std::size_t count = std::min(historical.size(), kMaxHistoricalBytes);
    Bytes atr{kDirectConvention, static_cast<std::uint8_t>(kTd1Follows | count)};
    atr.insert(atr.end(), kTd1Td2.begin(), kTd1Td2.end());
    atr.insert(atr.end(), historical.begin(), historical.begin() + static_cast<std::ptrdiff_t>(count));
    std::uint8_t check = 0;
    for (std::size_t i = 1; i < atr.size(); ++i) check ^= atr[i];
    atr.push_back(check);
    return atr;
}

Bytes storageAtr(std::uint8_t standard, const Bytes& name) {
    return atrWithHistoricalBytes(join({kStorageHeader, Bytes{standard}, name, kStorageRfu}));
}

// The card name of a Type A card at ISO/IEC 14443-3, from its SAK; a SAK with no
// name of its own gives FF SAK (ACR122U API manual 3.1.1).
Bytes typeACardName(const TypeACard& card) {
    if (dynamic_cast<const Type2Tag*>(&card)) return kNameUltralight;
    switch (card.identity().selRes) {
        case 0x00: return kNameUltralight;
        case 0x08: return kNameMifare1k;
        case 0x09: return kNameMifareMini;
        case 0x18: return kNameMifare4k;
        default: return Bytes{0xFF, card.identity().selRes};
    }
}

// The whole ATQB: 50, PUPI (4), application data (4), protocol info (3), twelve
// historical bytes as the manual's example in 3.1.2 shows them (3B 8C 80 01 50 ...).
Bytes typeBHistoricalBytes(const TypeBCard& card) {
    const TypeBIdentity& identity = card.identity();
    return join({Bytes{0x50}, identity.pupi, identity.applicationData, identity.protocolInfo});
}

}  // namespace

Bytes pseudoAtr(const Card& card, const Activation& activation) {
    if (const auto* typeB = dynamic_cast<const TypeBCard*>(&card)) {
        return atrWithHistoricalBytes(typeBHistoricalBytes(*typeB));
    }
    if (const auto* typeA = dynamic_cast<const TypeACard*>(&card)) {
        if (typeA->speaksIso14443_4() && activation.rats) {
            return atrWithHistoricalBytes(typeA->historicalBytes());
        }
        return storageAtr(kStandardIso14443A3, typeACardName(*typeA));
    }
    const bool at424 = activation.modulation == Modulation::FeliCa424;
    return storageAtr(kStandardIso14443A3, at424 ? kNameFeliCa424 : kNameFeliCa212);
}

}  // namespace vreader
