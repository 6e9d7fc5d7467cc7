// The reader's storage-card commands (ACR122U API manual section 5): keys in the
// reader's memory, MIFARE Classic authentication, binary and value block access,
// and pages of Type 2 tags; each becomes one or two InDataExchange with target 1.
#include "model/acr122u_reader.h"

#include "model/cards/mifare_classic.h"
#include "model/cards/type2_tag.h"

namespace vreader {

namespace {

const Bytes kDone{0x90, 0x00};
const Bytes kFailed{0x63, 0x00};
const Bytes kBadLength{0x67, 0x00};
const Bytes kExchangeTarget1{0xD4, 0x40, 0x01};

constexpr std::size_t kHeader = 5;
constexpr std::size_t kKeySize = 6;
constexpr std::size_t kBlockSize = MifareClassicCard::kBlockSize;
constexpr std::size_t kPageSize = Type2Tag::kPageSize;
constexpr std::uint8_t kKeyTypeA = 0x60;
constexpr std::uint8_t kKeyTypeB = 0x61;
// FF 86 data: version 01, 00, block, key type, key number.
constexpr std::size_t kAuthenticateDataSize = 5;
// FF D7: VB_OP store, increment, decrement; 03 with Lc 02 copies a value block.
constexpr std::uint8_t kStoreValue = 0x00;
constexpr std::uint8_t kIncrementValue = 0x01;
constexpr std::uint8_t kDecrementValue = 0x02;
constexpr std::uint8_t kCopyValue = 0x03;

// The value of FF D7 / FF B1, most significant byte first, as the card keeps it:
// least significant first.
Bytes cardOrder(const Bytes& bigEndian) { return Bytes(bigEndian.rbegin(), bigEndian.rend()); }

}  // namespace

// InDataExchange with target 1: the card's data when the chip reports success.
std::optional<Bytes> Acr122uReader::exchangeWithCard(const Bytes& data) {
    const auto answer = askChip(join({kExchangeTarget1, data}));
    if (!answer || answer->size() < 3 || (*answer)[2] != 0x00) return std::nullopt;
    return Bytes(answer->begin() + 3, answer->end());
}

MifareClassicCard* Acr122uReader::classicCard() const {
    return dynamic_cast<MifareClassicCard*>(chip_.firstTargetCard());
}

Type2Tag* Acr122uReader::type2Tag() const { return dynamic_cast<Type2Tag*>(chip_.firstTargetCard()); }

Bytes Acr122uReader::storageCommand(const Bytes& apdu) {
    switch (apdu[1]) {
        case 0x82: return loadKey(apdu);
        case 0x86: return authenticateBlock(apdu);
        case 0x88: return authenticateBlockObsolete(apdu);
        case 0xB0: return readBinary(apdu);
        case 0xD6: return updateBinary(apdu);
        case 0xD7: return valueBlockOperation(apdu);
        case 0xB1: return readValueBlock(apdu);
        default: return Bytes{0x6D, 0x00};
    }
}

// FF 82 00 slot 06 key: key structure 00 (the reader's volatile memory), slots 00
// and 01; the card plays no part.
Bytes Acr122uReader::loadKey(const Bytes& apdu) {
    if (apdu.size() != kHeader + kKeySize || apdu[4] != kKeySize) {
        return apdu.size() >= kHeader && apdu[4] != apdu.size() - kHeader ? kBadLength : kFailed;
    }
    if (apdu[2] != 0x00 || apdu[3] >= keys_.size()) return kFailed;
    keys_[apdu[3]] = Bytes(apdu.begin() + kHeader, apdu.end());
    return kDone;
}

// FF 86 00 00 05 01 00 block keytype slot.
Bytes Acr122uReader::authenticateBlock(const Bytes& apdu) {
    if (apdu.size() != kHeader + kAuthenticateDataSize || apdu[4] != kAuthenticateDataSize) {
        return kBadLength;
    }
    if (apdu[2] != 0x00 || apdu[3] != 0x00 || apdu[5] != 0x01 || apdu[6] != 0x00) return kFailed;
    return authenticateWith(apdu[7], apdu[8], apdu[9]);
}

// FF 88 00 block keytype slot (the manual's older form, kept by the firmware).
Bytes Acr122uReader::authenticateBlockObsolete(const Bytes& apdu) {
    if (apdu.size() != kHeader + 1) return kBadLength;
    if (apdu[2] != 0x00) return kFailed;
    return authenticateWith(apdu[3], apdu[4], apdu[5]);
}

// The chip runs the authentication with the key of the slot and the card's UID
// (its last four bytes). A card halted by a failed attempt is woken first.
Bytes Acr122uReader::authenticateWith(std::uint8_t block, std::uint8_t keyType, std::uint8_t slot) {
    MifareClassicCard* card = classicCard();
    if (!card || (keyType != kKeyTypeA && keyType != kKeyTypeB) || slot >= keys_.size() ||
        !keys_[slot]) {
        return kFailed;
    }
    chip_.wakeFirstTarget();
    const Bytes& uid = card->identity().uid;
    const Bytes uid4(uid.end() - 4, uid.end());
    return exchangeWithCard(join({Bytes{keyType, block}, *keys_[slot], uid4})) ? kDone : kFailed;
}

// FF B0 00 block Le: a MIFARE Classic block, or for a Type 2 tag the four pages
// from the one named (16 bytes, of which Le are answered).
Bytes Acr122uReader::readBinary(const Bytes& apdu) {
    if (apdu.size() != kHeader) return kBadLength;
    const std::size_t wanted = apdu[4] == 0 ? kBlockSize : apdu[4];
    if (apdu[2] != 0x00 || wanted > kBlockSize || (!classicCard() && !type2Tag())) return kFailed;
    auto data = exchangeWithCard(Bytes{0x30, apdu[3]});
    if (!data || data->size() < wanted) return kFailed;
    data->resize(wanted);
    return join({*data, kDone});
}

// FF D6 00 block Lc data: 16 bytes to a MIFARE Classic block, 4 to a Type 2 page.
Bytes Acr122uReader::updateBinary(const Bytes& apdu) {
    if (apdu.size() < kHeader || apdu[4] != apdu.size() - kHeader) return kBadLength;
    const Bytes data(apdu.begin() + kHeader, apdu.end());
    if (apdu[2] != 0x00) return kFailed;
    if (classicCard() && data.size() == kBlockSize) {
        return exchangeWithCard(join({Bytes{0xA0, apdu[3]}, data})) ? kDone : kFailed;
    }
    if (type2Tag() && data.size() == kPageSize) {
        return exchangeWithCard(join({Bytes{0xA2, apdu[3]}, data})) ? kDone : kFailed;
    }
    return kFailed;
}

// FF D7 00 block 05 op value(4): store writes a value block with the block's own
// address; increment and decrement are followed by a transfer to the same block.
// FF D7 00 source 02 03 target: restore and transfer.
Bytes Acr122uReader::valueBlockOperation(const Bytes& apdu) {
    if (apdu.size() < kHeader || apdu[4] != apdu.size() - kHeader) return kBadLength;
    if (apdu[2] != 0x00 || !classicCard()) return kFailed;
    const std::uint8_t block = apdu[3];
    if (apdu[4] == 2 && apdu[5] == kCopyValue) {
        const std::uint8_t target = apdu[6];
        if (!exchangeWithCard(Bytes{0xC2, block, 0x00, 0x00, 0x00, 0x00})) return kFailed;
        return exchangeWithCard(Bytes{0xB0, target}) ? kDone : kFailed;
    }
    if (apdu[4] != 5) return kFailed;
    const Bytes value = cardOrder(Bytes(apdu.begin() + 6, apdu.end()));
    switch (apdu[5]) {
        case kStoreValue: {
            const std::int32_t v = static_cast<std::int32_t>(
                static_cast<std::uint32_t>(value[0]) | static_cast<std::uint32_t>(value[1]) << 8 |
                static_cast<std::uint32_t>(value[2]) << 16 | static_cast<std::uint32_t>(value[3]) << 24);
            return exchangeWithCard(join({Bytes{0xA0, block}, valueBlock(v, block)})) ? kDone : kFailed;
        }
        case kIncrementValue:
        case kDecrementValue: {
            const std::uint8_t command = apdu[5] == kIncrementValue ? 0xC1 : 0xC0;
            if (!exchangeWithCard(join({Bytes{command, block}, value}))) return kFailed;
            return exchangeWithCard(Bytes{0xB0, block}) ? kDone : kFailed;
        }
        default: return kFailed;
    }
}

// FF B1 00 block 04: the value, most significant byte first; 63 00 when the block
// is not in value block format.
Bytes Acr122uReader::readValueBlock(const Bytes& apdu) {
    if (apdu.size() != kHeader) return kBadLength;
    if (apdu[2] != 0x00 || (apdu[4] != 0x04 && apdu[4] != 0x00) || !classicCard()) return kFailed;
    const auto data = exchangeWithCard(Bytes{0x30, apdu[3]});
    if (!data) return kFailed;
    const auto value = vreader::readValueBlock(*data);
    if (!value) return kFailed;
    const auto v = static_cast<std::uint32_t>(value->first);
    return join({Bytes{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                       static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)},
                 kDone});
}

}  // namespace vreader
