// Storage cards as the shipped scenarios build them, through the PN532 and through
// the reader's storage-card commands: tables of bytes in and bytes out, the
// expected bytes taken from the NXP data sheets and the ACR122U API manual.
#include <gtest/gtest.h>

#include <filesystem>

#include "model/acr122u_reader.h"
#include "model/cards/mifare_access.h"
#include "model/cards/mifare_classic.h"
#include "program/scenario.h"
#include "step_clock.h"
#include "test_bytes.h"

namespace vreader::testing {
namespace {

const std::filesystem::path kScenarios = VIRTUAL_READER_SCENARIO_DIR;

struct Step {
    const char* command;
    const char* answer;
};

// One shipped scenario's cards in the field of a chip inside a reader.
class StorageBench : public ::testing::Test {
protected:
    void load(const char* file) {
        scenario = loadScenarioFile(kScenarios / file);
        for (Card* card : scenario.initialField) field.insert(*card);
    }
    void runChip(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            EXPECT_EQ(formatHex(chip.execute(H(step.command))), step.answer) << step.command;
        }
    }
    void runReader(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            EXPECT_EQ(formatHex(reader.exchangeWhole(H(step.command))), step.answer) << step.command;
        }
    }

    Scenario scenario;
    Field field;
    Faults faults;
    StepClock clock{field};
    Pn532Chip chip{field, faults};
    Acr122uReader reader{chip};
    void SetUp() override { chip.useClock(clock); }
};

// MF1S50yyX 8.7.1: C1 C2 C3 of groups 0 to 3 in bytes 6 to 8 and their inverses.
TEST(MifareAccessBits, DecodeAndEncodeAsTheDataSheetLaysThemOut) {
    using mifare::AccessConditions;
    EXPECT_EQ(mifare::decodeAccessBits(H("00 00 00 00 00 00 FF 07 80 69")),
              (AccessConditions{0, 0, 0, 1}));  // transport configuration
    EXPECT_EQ(mifare::decodeAccessBits(H("00 00 00 00 00 00 5C 37 8A 69")),
              (AccessConditions{4, 6, 0, 3}));
    EXPECT_EQ(mifare::encodeAccessBits({4, 6, 0, 3}), H("5C 37 8A"));
    EXPECT_EQ(mifare::encodeAccessBits({0, 0, 0, 1}), H("FF 07 80"));
    EXPECT_EQ(mifare::decodeAccessBits(H("00 00 00 00 00 00 FF 07 81 69")), std::nullopt);
    EXPECT_EQ(valueBlock(1000, 5), H("E8 03 00 00 17 FC FF FF E8 03 00 00 05 FA 05 FA"));
    EXPECT_EQ(readValueBlock(H("E8 03 00 00 17 FC FF FF E8 03 00 00 05 FA 05 FA")),
              std::make_pair(std::int32_t{1000}, std::uint8_t{5}));
    EXPECT_EQ(readValueBlock(H("E8 03 00 00 17 FC FF FF E8 03 00 01 05 FA 05 FA")), std::nullopt);
}

// A factory 1K card: every sector opens with key FF FF FF FF FF FF. A wrong key is
// the chip's 14 and halts the card (timeout 01 until it is activated again); a
// block of another sector, or block 0 to write, is a NAK: 13.
TEST_F(StorageBench, FactoryClassic1kThroughInDataExchange) {
    load("mifare-classic-1k.json");
    runChip({
        {"D4 4A 01 00", "D5 4B 01 01 00 04 08 04 5A 3C 91 E2"},
        {"D4 40 01 60 04 FF FF FF FF FF FF 5A 3C 91 E2", "D5 41 00"},
        {"D4 40 01 30 04", "D5 41 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"D4 40 01 30 07", "D5 41 00 00 00 00 00 00 00 FF 07 80 69 FF FF FF FF FF FF"},
        {"D4 40 01 A0 05 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF", "D5 41 00"},
        {"D4 40 01 30 05", "D5 41 00 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"},
        {"D4 40 01 30 08", "D5 41 13"},
        {"D4 40 01 30 04", "D5 41 13"},  // the NAK ended the authentication
        {"D4 40 01 60 00 00 00 00 00 00 00 5A 3C 91 E2", "D5 41 14"},
        {"D4 40 01 30 00", "D5 41 01"},
        {"D4 4A 01 00", "D5 4B 01 01 00 04 08 04 5A 3C 91 E2"},
        {"D4 40 01 61 00 FF FF FF FF FF FF 5A 3C 91 E2", "D5 41 00"},
        // Key B is readable under the transport trailer, so it grants nothing.
        {"D4 40 01 30 00", "D5 41 13"},
        {"D4 40 01 60 00 FF FF FF FF FF FF 5A 3C 91 E2", "D5 41 00"},
        {"D4 40 01 30 00", "D5 41 00 5A 3C 91 E2 15 08 04 00 00 00 00 00 00 00 00 00"},
        {"D4 40 01 A0 00 5A 3C 91 E2 15 08 04 00 00 00 00 00 00 00 00 01", "D5 41 13"},
    });
}

// Sector 1 of the top-up card: block 4 data (100), block 5 a value block (110:
// increment with key B only, decrement with A or B), block 6 (000), trailer 011.
TEST_F(StorageBench, TopUpValueBlockThroughInDataExchange) {
    load("mifare-classic-topup.json");
    runChip({
        {"D4 4A 01 00", "D5 4B 01 01 00 04 08 04 C4 1F 72 0B"},
        {"D4 40 01 60 05 51 56 52 4B 45 41 C4 1F 72 0B", "D5 41 00"},
        {"D4 40 01 30 05", "D5 41 00 E8 03 00 00 17 FC FF FF E8 03 00 00 05 FA 05 FA"},
        {"D4 40 01 C1 05 F4 01 00 00", "D5 41 13"},
        {"D4 40 01 61 05 51 56 52 4B 45 42 C4 1F 72 0B", "D5 41 00"},
        {"D4 40 01 C1 05 F4 01 00 00", "D5 41 00"},
        {"D4 40 01 30 05", "D5 41 00 E8 03 00 00 17 FC FF FF E8 03 00 00 05 FA 05 FA"},
        {"D4 40 01 B0 05", "D5 41 00"},
        {"D4 40 01 30 05", "D5 41 00 DC 05 00 00 23 FA FF FF DC 05 00 00 05 FA 05 FA"},
        {"D4 40 01 B0 05", "D5 41 13"},  // nothing left to transfer
        {"D4 40 01 61 05 51 56 52 4B 45 42 C4 1F 72 0B", "D5 41 00"},
        {"D4 40 01 C0 05 64 00 00 00", "D5 41 00"},
        {"D4 40 01 B0 06", "D5 41 00"},
        {"D4 40 01 30 06", "D5 41 00 78 05 00 00 87 FA FF FF 78 05 00 00 05 FA 05 FA"},
        {"D4 40 01 C2 06 00 00 00 00", "D5 41 00"},
        {"D4 40 01 B0 05", "D5 41 00"},
        {"D4 40 01 30 05", "D5 41 00 78 05 00 00 87 FA FF FF 78 05 00 00 05 FA 05 FA"},
        {"D4 40 01 30 07", "D5 41 00 00 00 00 00 00 00 5C 37 8A 69 00 00 00 00 00 00"},
        {"D4 40 01 A0 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "D5 41 00"},
        {"D4 40 01 60 04 51 56 52 4B 45 41 C4 1F 72 0B", "D5 41 00"},
        {"D4 40 01 A0 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "D5 41 13"},
    });
}

// API manual 5.1 to 5.5: keys in two slots, authentication, value block store,
// increment, decrement, read and copy, with 90 00 or 63 00. Values go most
// significant byte first.
TEST_F(StorageBench, TopUpThroughTheReadersStorageCardCommands) {
    load("mifare-classic-topup.json");
    runReader({{"FF 82 00 00 06 51 56 52 4B 45 41", "90 00"}});  // no card needed
    reader.pollField();
    runReader({
        {"FF 82 00 01 06 51 56 52 4B 45 42", "90 00"},
        {"FF 82 00 02 06 51 56 52 4B 45 42", "63 00"},
        {"FF 86 00 00 05 01 00 05 60 00", "90 00"},
        {"FF B0 00 04 10", "51 56 52 20 54 4F 50 2D 55 50 20 43 41 52 44 00 90 00"},
        {"FF B0 00 04 04", "51 56 52 20 90 00"},
        {"FF B1 00 05 04", "00 00 03 E8 90 00"},
        {"FF B1 00 04 04", "63 00"},                   // not a value block
        {"FF D7 00 05 05 01 00 00 01 F4", "63 00"},    // increment needs key B
        {"FF 86 00 00 05 01 00 05 61 01", "90 00"},
        {"FF D7 00 05 05 01 00 00 01 F4", "90 00"},
        {"FF B1 00 05 04", "00 00 05 DC 90 00"},
        {"FF D7 00 05 05 02 00 00 00 64", "90 00"},
        {"FF B1 00 05 04", "00 00 05 78 90 00"},
        {"FF D7 00 05 02 03 06", "90 00"},
        {"FF B1 00 06 04", "00 00 05 78 90 00"},
        {"FF D7 00 06 05 00 FF FF FF FE", "90 00"},
        {"FF B0 00 06 10", "FE FF FF FF 01 00 00 00 FE FF FF FF 06 F9 06 F9 90 00"},
        {"FF 88 00 05 60 01", "63 00"},                // key B's bytes as key A
        {"FF B1 00 05 04", "63 00"},                   // the card halted
        {"FF 88 00 05 60 00", "90 00"},                // woken and authenticated again
        {"FF D6 00 04 10 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "63 00"},
        {"FF B1 00 05 04", "63 00"},                   // the NAK ended the authentication
    });
}

// NTAG216 data sheet: GET_VERSION, READ with PWD/PACK reading as zeros, FAST_READ,
// WRITE from AUTH0 on only after PWD_AUTH, READ_SIG; READ_CNT off by ACCESS.
TEST_F(StorageBench, Ntag216ThroughInDataExchange) {
    load("ntag216.json");
    runChip({
        {"D4 4A 01 00", "D5 4B 01 01 00 44 00 07 04 51 56 52 21 60 80"},
        {"D4 40 01 60", "D5 41 00 00 04 04 02 01 00 13 03"},
        {"D4 40 01 30 00", "D5 41 00 04 51 56 8B 52 21 60 80 93 48 00 00 E1 10 6D 00"},
        {"D4 40 01 30 04", "D5 41 00 03 1B D1 01 17 55 04 71 75 65 6E 76 61 72 69 61"},
        {"D4 40 01 3A 05 06", "D5 41 00 17 55 04 71 75 65 6E 76"},
        {"D4 40 01 30 E3", "D5 41 00 04 00 00 30 00 05 00 00 00 00 00 00 00 00 00 00"},
        {"D4 40 01 A2 30 DE AD BE EF", "D5 41 13"},
        {"D4 40 01 1B 00 00 00 00", "D5 41 13"},
        {"D4 40 01 1B 51 56 52 50", "D5 41 00 4F 4B"},
        {"D4 40 01 A2 30 DE AD BE EF", "D5 41 00"},
        {"D4 40 01 30 30", "D5 41 00 DE AD BE EF 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"D4 40 01 A2 01 00 00 00 00", "D5 41 13"},  // the UID page is read-only
        {"D4 40 01 39 02", "D5 41 13"},
        {"D4 40 01 3A E7 E7", "D5 41 13"},           // beyond the last page
    });
    const auto answer = chip.execute(H("D4 40 01 3C 00"));
    ASSERT_EQ(answer.size(), 3u + 32u);
    EXPECT_EQ(formatHex(Bytes(answer.begin() + 3, answer.begin() + 7)), "15 22 2F 3C");
}

// NTAG215 with the NFC counter on (ACCESS 10): the first read of a power session
// counts; READ_CNT answers 3 bytes, least significant first.
TEST_F(StorageBench, Ntag215CountsTheFirstReadOfEachSession) {
    load("ntag215.json");
    runChip({
        {"D4 4A 01 00", "D5 4B 01 01 00 44 00 07 04 51 56 52 21 50 80"},
        {"D4 40 01 39 02", "D5 41 00 29 00 00"},
        {"D4 40 01 30 03", "D5 41 00 E1 10 3E 00 03 1B D1 01 17 55 04 71 75 65 6E 76"},
        {"D4 40 01 30 03", "D5 41 00 E1 10 3E 00 03 1B D1 01 17 55 04 71 75 65 6E 76"},
        {"D4 40 01 39 02", "D5 41 00 2A 00 00"},
    });
}

// API manual 5.3 and 5.4 on a Type 2 tag: FF B0 reads four pages (Le of them
// answered), FF D6 writes one page of 4 bytes; raw through InCommunicateThru too.
TEST_F(StorageBench, Ntag213PagesThroughTheReaderAndRaw) {
    load("ntag213.json");
    reader.pollField();
    runReader({
        {"FF B0 00 03 10", "E1 10 12 00 03 1B D1 01 17 55 04 71 75 65 6E 76 90 00"},
        {"FF B0 00 03 04", "E1 10 12 00 90 00"},
        {"FF D6 00 10 04 CA FE F0 0D", "90 00"},
        {"FF B0 00 10 04", "CA FE F0 0D 90 00"},
        {"FF D6 00 00 04 CA FE F0 0D", "63 00"},
        {"FF D6 00 10 10 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "63 00"},
        {"FF B0 00 2D 10", "63 00"},                   // beyond the 45 pages
        {"FF 00 00 00 03 D4 42 60", "D5 43 00 00 04 04 02 01 00 0F 03 90 00"},
        {"FF 00 00 00 08 D4 42 A0 11 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
         "67 00"},  // Lc does not count the data
    });
}

// API manual 3.1.1: storage cards carry SS 03 and the card name; pcsc-tools' list
// names 00 01, 00 02, 00 03 and 00 26 as MIFARE 1K, 4K, Ultralight and Mini.
TEST_F(StorageBench, StorageCardPseudoAtrs) {
    const std::pair<const char*, const char*> cases[] = {
        {"mifare-classic-1k.json", "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A"},
        {"mifare-classic-4k.json", "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 02 00 00 00 00 69"},
        {"ntag215.json", "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68"},
        {"felica-424.json", "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 F0 12 00 00 00 00 89"},
    };
    for (const auto& [file, atr] : cases) {
        for (Card* card : scenario.initialField) field.remove(*card);
        reader.pollField();
        load(file);
        reader.pollField();
        ASSERT_TRUE(reader.cardAtr()) << file;
        EXPECT_EQ(formatHex(*reader.cardAtr()), atr) << file;
    }
    const auto mini = parseScenario(R"({"cards": [{"id": "m", "type": "mifare-classic",
        "size": "mini", "uid": "01 02 03 04"}]})");
    for (Card* card : scenario.initialField) field.remove(*card);
    reader.pollField();
    field.insert(*mini.cards[0]);
    reader.pollField();
    EXPECT_EQ(formatHex(reader.cardAtr().value_or(Bytes{})),
              "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 26 00 00 00 00 4D");
}

// API manual 7.3: a FeliCa command frame sent as it is reaches the card; its answer
// comes back with 90 00. 7.5: GetGeneralStatus ends with the SAM status 80.
TEST_F(StorageBench, NativeFeliCaFrameAndGeneralStatus) {
    runReader({{"FF 00 00 00 02 D4 04", "D5 05 00 00 00 80 90 00"}});
    load("felica-212.json");
    reader.pollField();
    runReader({
        {"0A 04 01 2E 4C 8A 13 57 9B DF", "0B 05 01 2E 4C 8A 13 57 9B DF 00 90 00"},
        {"0A 04 01 2E 4C 8A 13 57 9B DE", "63 00"},  // another card's IDm: no answer
    });
}

TEST(StorageScenario, BrokenStorageCardsAreRefusedWithAReason) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"cards": [{"id": "x", "type": "mifare-classic", "size": "2k", "uid": "01020304"}]})", "\"size\""},
        {R"({"cards": [{"id": "x", "type": "mifare-classic", "uid": "01020304",
             "sectors": [{"sector": 16}]}]})", "\"sector\""},
        {R"({"cards": [{"id": "x", "type": "mifare-classic", "uid": "01020304",
             "sectors": [{"sector": 1, "access": "FF 07 81 69"}]}]})", "inverted"},
        {R"({"cards": [{"id": "x", "type": "mifare-classic", "uid": "01020304",
             "sectors": [{"sector": 1, "blocks": {"3": "00"}}]}]})", "sector block"},
        {R"({"cards": [{"id": "x", "type": "ntag213", "uid": "01020304"}]})", "7-byte"},
        {R"({"cards": [{"id": "x", "type": "ntag213", "uid": "04010203040506", "signature": "00"}]})",
         "\"signature\""},
    };
    for (const auto& [text, reason] : cases) {
        try {
            parseScenario(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const ScenarioError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << text << " -> " << e.what();
        }
    }
}

}  // namespace
}  // namespace vreader::testing
