#include "storage_card_decoding.h"

namespace qvr::tools {

namespace {

struct ClassicKind {
    std::uint8_t sak;
    const char* name;
    const char* memory;
};

// SAK of the MIFARE Classic family (AN10833 table "SAK"); the ATQA tells 4-byte
// (00 04 / 00 02) from 7-byte UIDs (00 44 / 00 42).
constexpr ClassicKind kClassic[] = {
    {0x08, "MIFARE Classic 1K", "1024 bytes: 16 sectors of 4 blocks of 16 bytes"},
    {0x18, "MIFARE Classic 4K", "4096 bytes: 32 sectors of 4 blocks and 8 of 16 blocks"},
    {0x09, "MIFARE Mini", "320 bytes: 5 sectors of 4 blocks of 16 bytes"},
};

struct Type2Kind {
    std::uint8_t productType;
    std::uint8_t storageSize;
    const char* name;
    const char* memory;
};

// GET_VERSION bytes 2 (product type) and 6 (storage size).
constexpr Type2Kind kType2[] = {
    {0x04, 0x0F, "NTAG213", "180 bytes in 45 pages, 144 bytes user memory"},
    {0x04, 0x11, "NTAG215", "540 bytes in 135 pages, 504 bytes user memory"},
    {0x04, 0x13, "NTAG216", "924 bytes in 231 pages, 888 bytes user memory"},
    {0x03, 0x0B, "MIFARE Ultralight EV1 (MF0UL11)", "80 bytes in 20 pages, 48 bytes user memory"},
    {0x03, 0x0E, "MIFARE Ultralight EV1 (MF0UL21)", "164 bytes in 41 pages, 128 bytes user memory"},
};

}  // namespace

std::vector<Field> storageCardFields(std::uint8_t sak, std::span<const std::uint8_t> atqa) {
    if ((sak & 0x20) != 0 || atqa.size() != 2) return {};
    const bool longUid = (atqa[1] & 0x40) != 0;
    for (const ClassicKind& kind : kClassic) {
        if (sak == kind.sak) {
            return {{"Card", std::string(kind.name) + (longUid ? ", 7-byte UID" : ", 4-byte UID")},
                    {"Memory", kind.memory}};
        }
    }
    if (sak == 0x00 && atqa[0] == 0x00 && atqa[1] == 0x44) {
        return {{"Card", "NFC Forum Type 2 tag (MIFARE Ultralight or NTAG)"},
                {"Memory", "4-byte pages; GET_VERSION names the product"}};
    }
    return {};
}

std::string type2VersionText(std::span<const std::uint8_t> version) {
    if (version.size() != 8 || version[1] != 0x04) return {};  // vendor 04: NXP
    for (const Type2Kind& kind : kType2) {
        if (version[2] == kind.productType && version[6] == kind.storageSize) {
            return std::string(kind.name) + ", " + kind.memory;
        }
    }
    return {};
}

}  // namespace qvr::tools
