#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "card_decoding.h"
#include "storage_card_decoding.h"
#include "vocabulary/hex_text.h"

namespace qvr::tools {
namespace {

// One card as one line: "type: name=value; name=value", then " !problem" if any.
std::string render(const DecodedCard& card) {
    std::string text = formatHex({&card.type, 1}) + ":";
    for (const auto& [name, value] : card.fields) text += " " + name + "=" + value + ";";
    if (!card.problem.empty()) text += " !" + card.problem;
    return text;
}

struct Case {
    const char* name;
    const char* reply;  // what oPollingTags delivers, from the target count on
    std::vector<std::string> cards;
};

// Replies as the PN532 gives them for InAutoPoll (UM0701-02), with the cards of the
// virtual reader's scenarios and common real ones.
const Case kCases[] = {
    {"Type B and FeliCa, both targets of one poll",
     "02 23 0F 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00"
     " 11 15 01 14 01 01 2E 4C 8A 13 57 9B DF 03 01 4B 02 4F 49 93 FF 88 B4",
     {"23: PUPI=E8 25 3E EC; Application data=00 00 00 11 (AFI 00); Protocol info=00 81 85 (max frame 256 bytes, "
      "ISO/IEC 14443-4, frame waiting time 77.3 ms); ATTRIB answer=00;",
      "11: IDm=01 2E 4C 8A 13 57 9B DF; PMm=03 01 4B 02 4F 49 93 FF; System code=88 B4;"}},
    {"ISO/IEC 14443-4 Type A with its ATS",
     "01 20 0E 01 00 04 20 04 DE AD BE EF 05 78 80 70 02",
     {"20: UID=DE AD BE EF; ATQA=00 04; SAK=20 (ISO/IEC 14443-4); ATS=05 78 80 70 02; historical bytes none;"}},
    {"ATS with historical bytes after TA, TB and TC",
     "01 20 0F 01 03 44 20 04 01 02 03 04 06 75 77 81 02 80",
     {"20: UID=01 02 03 04; ATQA=03 44; SAK=20 (ISO/IEC 14443-4); ATS=06 75 77 81 02 80; historical bytes 80;"}},
    {"Type 2 tag with a 7-byte UID and no ATS",
     "01 10 0C 01 00 44 00 07 04 11 22 33 44 55 66",
     {"10: UID=04 11 22 33 44 55 66; ATQA=00 44; SAK=00 (no ISO/IEC 14443-4); Card=NFC Forum Type 2 tag "
      "(MIFARE Ultralight or NTAG); Memory=4-byte pages; GET_VERSION names the product;"}},
    // SAK and ATQA per NXP AN10833.
    {"MIFARE Classic 1K with a 4-byte UID",
     "01 10 09 01 00 04 08 04 5A 3C 91 E2",
     {"10: UID=5A 3C 91 E2; ATQA=00 04; SAK=08 (no ISO/IEC 14443-4); Card=MIFARE Classic 1K, 4-byte UID; "
      "Memory=1024 bytes: 16 sectors of 4 blocks of 16 bytes;"}},
    {"MIFARE Classic 4K with a 7-byte UID",
     "01 10 0C 01 00 42 18 07 04 6E 21 B2 4A 5D 80",
     {"10: UID=04 6E 21 B2 4A 5D 80; ATQA=00 42; SAK=18 (no ISO/IEC 14443-4); Card=MIFARE Classic 4K, 7-byte UID; "
      "Memory=4096 bytes: 32 sectors of 4 blocks and 8 of 16 blocks;"}},
    {"MIFARE Mini",
     "01 10 09 01 00 04 09 04 01 02 03 04",
     {"10: UID=01 02 03 04; ATQA=00 04; SAK=09 (no ISO/IEC 14443-4); Card=MIFARE Mini, 4-byte UID; "
      "Memory=320 bytes: 5 sectors of 4 blocks of 16 bytes;"}},
    {"FeliCa at 424 kbit/s that sends no system code",
     "01 12 13 01 12 01 01 2E 4C 8A 13 57 9B DF 03 01 4B 02 4F 49 93 FF",
     {"12: IDm=01 2E 4C 8A 13 57 9B DF; PMm=03 01 4B 02 4F 49 93 FF; System code=not sent;"}},
    {"Type B with a small frame and a short waiting time, not ISO/IEC 14443-4",
     "01 23 0F 01 50 01 02 03 04 30 00 00 00 00 20 00 01 00",
     {"23: PUPI=01 02 03 04; Application data=30 00 00 00 (AFI 30); Protocol info=00 20 00 (max frame 32 bytes, "
      "no ISO/IEC 14443-4, frame waiting time 0.3 ms); ATTRIB answer=00;"}},
    {"empty field", "00", {}},
    {"reply cut inside the first target, second target missing",
     "02 23 0F 01 50 E8",
     {"23: !no whole ATQB (50, PUPI, application data, protocol info)", "00: !the reply ends before target 2"}},
    {"UID shorter than its length byte says",
     "01 20 08 01 00 04 20 07 04 11 22",
     {"20: !Type A data cut short"}},
    {"type the library does not poll for", "01 40 02 01 02", {"40: !target data 01 02"}},
};

TEST(CardDecoding, AutoPollRepliesAsPeopleReadThem) {
    for (const Case& c : kCases) {
        const auto bytes = parseHex(c.reply);
        ASSERT_TRUE(bytes) << c.name;
        std::vector<std::string> rendered;
        for (const DecodedCard& card : decodeAutoPollReply(bytes->data(), bytes->size())) rendered.push_back(render(card));
        EXPECT_EQ(rendered, c.cards) << c.name;
    }
}

// GET_VERSION answers as the NTAG213/215/216 and Ultralight EV1 data sheets give them.
TEST(CardDecoding, Type2VersionNamesProductAndMemory) {
    const std::pair<const char*, const char*> cases[] = {
        {"00 04 04 02 01 00 0F 03", "NTAG213, 180 bytes in 45 pages, 144 bytes user memory"},
        {"00 04 04 02 01 00 11 03", "NTAG215, 540 bytes in 135 pages, 504 bytes user memory"},
        {"00 04 04 02 01 00 13 03", "NTAG216, 924 bytes in 231 pages, 888 bytes user memory"},
        {"00 04 03 01 01 00 0B 03", "MIFARE Ultralight EV1 (MF0UL11), 80 bytes in 20 pages, 48 bytes user memory"},
        {"00 04 04 02 01 00 15 03", ""},
        {"00 05 04 02 01 00 0F 03", ""},
    };
    for (const auto& [version, text] : cases) {
        const auto bytes = parseHex(version);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(type2VersionText(*bytes), text) << version;
    }
}

TEST(CardDecoding, NothingFromAnEmptyReply) {
    EXPECT_TRUE(decodeAutoPollReply(nullptr, 0).empty());
    const std::uint8_t count = 1;
    EXPECT_TRUE(decodeAutoPollReply(&count, 0).empty());
}

}  // namespace
}  // namespace qvr::tools
