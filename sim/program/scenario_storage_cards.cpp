#include "program/scenario_storage_cards.h"

#include <map>

#include "model/cards/mifare_classic.h"
#include "model/cards/type2_tag.h"

namespace vreader {

namespace {

using nlohmann::json;

constexpr std::size_t kBlock = MifareClassicCard::kBlockSize;
constexpr std::size_t kPage = Type2Tag::kPageSize;
constexpr std::uint8_t kCascadeTag = 0x88;
// As NXP ships a card: keys A and B FF FF FF FF FF FF, access bits FF 07 80 and
// the general purpose byte 69 (data sheet 8.6.3, "transport configuration").
const Bytes kTransportKey(6, 0xFF);
const Bytes kTransportAccess{0xFF, 0x07, 0x80, 0x69};

struct ClassicModel {
    MifareClassicSize size;
    std::uint8_t sak;
    Bytes atqa4;  // 4-byte UID
    Bytes atqa7;  // 7-byte UID
};

// SAK and ATQA per NXP AN10833 (MIFARE type identification).
const std::map<std::string, ClassicModel> kClassicModels = {
    {"1k", {MifareClassicSize::OneK, 0x08, {0x00, 0x04}, {0x00, 0x44}}},
    {"4k", {MifareClassicSize::FourK, 0x18, {0x00, 0x02}, {0x00, 0x42}}},
    {"mini", {MifareClassicSize::Mini, 0x09, {0x00, 0x04}, {0x00, 0x44}}},
};

std::uint8_t xorOf(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::uint8_t x = 0;
    for (std::size_t i = from; i < to; ++i) x ^= bytes[i];
    return x;
}

// Block 0: a 4-byte UID with its check byte, SAK and ATQA (least significant byte
// first), or a 7-byte UID, SAK and ATQA; manufacturer data after.
Bytes manufacturerBlock(const Bytes& uid, std::uint8_t sak, const Bytes& atqa, const Bytes& tail) {
    Bytes block = uid;
    if (uid.size() == 4) block.push_back(xorOf(uid, 0, 4));
    block.insert(block.end(), {sak, atqa[1], atqa[0]});
    for (std::size_t i = 0; block.size() < kBlock; ++i) block.push_back(i < tail.size() ? tail[i] : 0x00);
    return block;
}

// An index inside a sector, as a JSON object key ("0", "1", ...).
std::size_t blockIndex(const CardFields& f, const std::string& key, std::size_t blocks) {
    std::size_t used = 0;
    std::size_t index = 0;
    try {
        index = std::stoul(key, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != key.size() || index + 1 >= blocks) {
        f.fail("sector block \"" + key + "\" must be a data block number inside the sector");
    }
    return index;
}

void applySector(const CardFields& f, const json& sector, Bytes& memory, std::size_t sectorCount) {
    if (!sector.is_object() || !sector.contains("sector") || !sector.at("sector").is_number_unsigned() ||
        sector.at("sector").get<std::size_t>() >= sectorCount) {
        f.fail("each of \"sectors\" needs a \"sector\" number on the card");
    }
    const std::size_t number = sector.at("sector").get<std::size_t>();
    const std::size_t first = MifareClassicCard::firstBlockOf(number);
    const std::size_t blocks = MifareClassicCard::blocksIn(number);
    json named = sector;
    named["id"] = f.id();
    const CardFields fields(named);
    const Bytes keyA = fields.hex("key_a", 6, 6, kTransportKey);
    const Bytes keyB = fields.hex("key_b", 6, 6, kTransportKey);
    const Bytes access = fields.hex("access", 4, 4, kTransportAccess);
    if (!mifare::decodeAccessBits(join({Bytes(6, 0), access}))) {
        f.fail("sector " + std::to_string(number) + ": \"access\" bits do not match their inverted copies");
    }
    const auto put = [&memory](std::size_t block, const Bytes& data) {
        std::copy(data.begin(), data.end(), memory.begin() + static_cast<std::ptrdiff_t>(block * kBlock));
    };
    put(first + blocks - 1, join({keyA, access, keyB}));
    if (sector.contains("blocks")) {
        for (const auto& [key, value] : sector.at("blocks").items()) {
            const auto data = value.is_string() ? parseHex(value.get<std::string>()) : std::nullopt;
            if (!data || data->size() != kBlock) f.fail("a sector block must be hex of 16 bytes");
            const std::size_t index = blockIndex(f, key, blocks);
            if (number == 0 && index == 0) f.fail("block 0 comes from uid, sak and atqa");
            put(first + index, *data);
        }
    }
    if (sector.contains("values")) {
        for (const auto& [key, value] : sector.at("values").items()) {
            if (!value.is_number_integer()) f.fail("a value block holds a whole number");
            const std::size_t block = first + blockIndex(f, key, blocks);
            put(block, valueBlock(value.get<std::int32_t>(), static_cast<std::uint8_t>(block)));
        }
    }
}

// Type 2 pages 0 to 2: UID0-2 and BCC0 (88 ^ UID0-2), UID3-6 and BCC1, the
// internal byte 48 and the static lock bytes (NTAG213/215/216 data sheet 8.5.1).
Bytes ntagHeader(const Bytes& uid) {
    Bytes pages{uid[0], uid[1], uid[2], static_cast<std::uint8_t>(kCascadeTag ^ xorOf(uid, 0, 3))};
    pages.insert(pages.end(), uid.begin() + 3, uid.end());
    pages.insert(pages.end(), {xorOf(uid, 3, 7), 0x48, 0x00, 0x00});
    return pages;
}

struct NtagModel {
    std::size_t pages;
    std::uint8_t ccSize;  // capability container byte 2: user memory / 8
    std::uint8_t storageSize;  // GET_VERSION byte 6
};

// NTAG213: 45 pages, 144 user bytes; NTAG215: 135 pages, 504; NTAG216: 231 pages, 888.
std::unique_ptr<Card> ntag(const CardFields& f, const NtagModel& model) {
    const Bytes uid = f.uid();
    if (uid.size() != 7) f.fail("an NTAG has a 7-byte \"uid\"");
    TypeAIdentity identity{uid, f.hex("atqa", 2, 2, Bytes{0x00, 0x44}), f.byte("sak", 0x00), {}};
    Bytes memory;
    if (f.raw().contains("pages")) {
        memory = f.hex("pages", model.pages * kPage, model.pages * kPage);
    } else {
        memory = join({ntagHeader(uid), Bytes{0xE1, 0x10, model.ccSize, 0x00}});
        const std::size_t user = (model.pages - 9) * kPage;
        Bytes data(user, 0x00);
        // The NDEF message in its TLV (03, length, message, terminator FE).
        const Bytes ndef = f.hex("ndef", 0, 254, Bytes{});
        const Bytes tlv = join({Bytes{0x03, static_cast<std::uint8_t>(ndef.size())}, ndef, Bytes{0xFE}});
        if (tlv.size() > user) f.fail("\"ndef\" does not fit the user memory");
        std::copy(tlv.begin(), tlv.end(), data.begin());
        memory = join({memory, data, Bytes{0x00, 0x00, 0x00, 0xBD},
                       Bytes{0x04, 0x00, 0x00, f.byte("auth0", 0xFF)},
                       Bytes{f.byte("access", 0x00), 0x05, 0x00, 0x00},
                       f.hex("password", 4, 4, Bytes(4, 0xFF)),
                       join({f.hex("pack", 2, 2, Bytes{0x00, 0x00}), Bytes{0x00, 0x00}})});
    }
    const Bytes version{0x00, 0x04, 0x04, 0x02, 0x01, 0x00, model.storageSize, 0x03};
    NtagExtras extras{f.hex("signature", 32, 32, Bytes(32, 0x00)), 0};
    if (f.raw().contains("nfc_counter")) {
        const json& counter = f.raw().at("nfc_counter");
        if (!counter.is_number_unsigned() || counter.get<std::uint32_t>() > 0xFFFFFF) {
            f.fail("\"nfc_counter\" must be a whole number below 2^24");
        }
        extras.nfcCounter = counter.get<std::uint32_t>();
    }
    return std::make_unique<Type2Tag>(f.id(), f.delay(), std::move(identity), std::move(memory), version,
                                      std::move(extras));
}

}  // namespace

std::unique_ptr<Card> mifareClassicCard(const CardFields& f) {
    const std::string sizeName = f.raw().value("size", std::string("1k"));
    const auto model = kClassicModels.find(sizeName);
    if (model == kClassicModels.end()) f.fail("\"size\" must be 1k, 4k or mini");
    const Bytes uid = f.uid();
    if (uid.size() == 10) f.fail("a MIFARE Classic \"uid\" has 4 or 7 bytes");
    const ClassicModel& m = model->second;
    TypeAIdentity identity{uid, f.hex("atqa", 2, 2, uid.size() == 4 ? m.atqa4 : m.atqa7),
                           f.byte("sak", m.sak), {}};
    if (identity.selRes & 0x20) f.fail("a MIFARE Classic does not speak ISO/IEC 14443-4 (sak bit 6)");
    const std::size_t blocks = MifareClassicCard::blockCountOf(m.size);
    const std::size_t sectors = MifareClassicCard::sectorOf(blocks - 1) + 1;
    Bytes memory(blocks * kBlock, 0x00);
    for (std::size_t s = 0; s < sectors; ++s) {
        const std::size_t trailer = MifareClassicCard::firstBlockOf(s) + MifareClassicCard::blocksIn(s) - 1;
        const Bytes t = join({kTransportKey, kTransportAccess, kTransportKey});
        std::copy(t.begin(), t.end(), memory.begin() + static_cast<std::ptrdiff_t>(trailer * kBlock));
    }
    const Bytes block0 = manufacturerBlock(uid, identity.selRes, identity.sensRes,
                                           f.hex("manufacturer_data", 0, 11, Bytes{}));
    std::copy(block0.begin(), block0.end(), memory.begin());
    if (f.raw().contains("sectors")) {
        if (!f.raw().at("sectors").is_array()) f.fail("\"sectors\" must be a list");
        for (const json& sector : f.raw().at("sectors")) applySector(f, sector, memory, sectors);
    }
    return std::make_unique<MifareClassicCard>(f.id(), f.delay(), std::move(identity), std::move(memory));
}

std::unique_ptr<Card> ntag213(const CardFields& f) { return ntag(f, {45, 0x12, 0x0F}); }
std::unique_ptr<Card> ntag215(const CardFields& f) { return ntag(f, {135, 0x3E, 0x11}); }
std::unique_ptr<Card> ntag216(const CardFields& f) { return ntag(f, {231, 0x6D, 0x13}); }

}  // namespace vreader
