// The ACR122U layer: pseudo-APDUs in, reader answers out, GET RESPONSE holding.
#include <gtest/gtest.h>

#include "acr122u_reader.h"
#include "test_cards.h"

namespace vreader::testing {
namespace {

class Acr122uReaderTest : public ::testing::Test {
protected:
    std::string send(const std::string& apdu) { return to_hex(reader.transmit(H(apdu))); }

    std::unique_ptr<TypeBCard> type_b = make_type_b();
    Field field;
    Faults faults;
    Pn532Chip chip{field, faults};
    Acr122uReader reader{chip};
};

TEST_F(Acr122uReaderTest, DirectTransmitAnnouncesAndGetResponseFetchesOnce) {
    EXPECT_EQ(send("FF 00 00 00 02 D4 02"), "61 08");             // GetFirmwareVersion
    EXPECT_EQ(send("FF C0 00 00 08"), "D5 03 32 01 06 07 90 00");
    EXPECT_EQ(send("FF C0 00 00 08"), "63 00");                   // nothing pending any more
}

TEST_F(Acr122uReaderTest, LeCountsTheWholeAnswerWithItsStatusWord) {
    EXPECT_EQ(send("FF 00 00 00 03 D4 44 01"), "61 05");          // InDeselect, no target
    EXPECT_EQ(send("FF C0 00 00 05"), "D5 45 27 90 00");
}

TEST_F(Acr122uReaderTest, WrongLeIsToldTheRightOneAndTheAnswerStays) {
    EXPECT_EQ(send("FF 00 00 00 02 D4 02"), "61 08");
    EXPECT_EQ(send("FF C0 00 00 04"), "6C 08");
    EXPECT_EQ(send("FF C0 00 00 FF"), "6C 08");
    EXPECT_TRUE(reader.has_pending());
    EXPECT_EQ(send("FF C0 00 00 08"), "D5 03 32 01 06 07 90 00");
}

TEST_F(Acr122uReaderTest, AnotherCommandDropsAnAnswerNotFetched) {
    EXPECT_EQ(send("FF 00 00 00 02 D4 02"), "61 08");
    EXPECT_EQ(send("FF 00 48 00 00").size(), 29u);
    EXPECT_EQ(send("FF C0 00 00 08"), "63 00");
}

TEST_F(Acr122uReaderTest, PollAndExchangeWithTheCardEndToEnd) {
    field.insert(*type_b);
    EXPECT_EQ(send("FF 00 00 00 05 D4 4A 01 03 00"), "61 14");
    EXPECT_EQ(send("FF C0 00 00 14"),
              "D5 4B 01 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00 90 00");
    EXPECT_EQ(send("FF 00 00 00 08 D4 40 01 00 B0 00 00 00"), "61 07");
    EXPECT_EQ(send("FF C0 00 00 07"), "D5 41 00 6A 82 90 00");
}

TEST_F(Acr122uReaderTest, UnknownChipCommandComesBackAsTheSyntaxErrorFrame) {
    EXPECT_EQ(send("FF 00 00 00 02 D4 FE"), "61 03");
    EXPECT_EQ(send("FF C0 00 00 03"), "7F 90 00");
}

TEST_F(Acr122uReaderTest, RefusedCommands) {
    struct Case {
        const char* apdu;
        const char* answer;
    };
    const Case cases[] = {
        {"00 A4 04 00 00", "6E 00"},             // not the reader's class
        {"FF CA 00 00 00", "6D 00"},             // unknown instruction
        {"FF 00 00 00 03 D4 02", "67 00"},       // Lc larger than the data
        {"FF 00 00 00 01 D4 02", "67 00"},       // Lc smaller than the data
        {"FF 00 00 00 00", "67 00"},             // direct transmit without a frame
        {"FF 00 00", "67 00"},                   // not even a header
        {"FF 00 40 0F 03 01 01 01", "67 00"},    // LED control needs four data bytes
        {"FF 00 48 00", "67 00"},
        {"FF C0 00 00", "67 00"},
        {"FF 00 52 01 00", "6A 86"},             // buzzer on detection: 00 or FF only
        {"FF 00 77 00 00", "6A 86"},             // unknown pseudo-command
    };
    for (const Case& c : cases) EXPECT_EQ(send(c.apdu), c.answer) << c.apdu;
}

TEST_F(Acr122uReaderTest, ReaderCommands) {
    EXPECT_EQ(reader.transmit(H("FF 00 48 00 00")), Bytes({'A', 'C', 'R', '1', '2', '2', 'U', '2', '1', '5'}));
    EXPECT_EQ(send("FF 00 52 00 00"), "90 00");
    EXPECT_EQ(send("FF 00 52 FF 00"), "90 00");
    EXPECT_EQ(send("FF 00 50 00 00"), "90 FF");
    EXPECT_EQ(send("FF 00 51 7F 00"), "90 7F");
    EXPECT_EQ(send("FF 00 50 00 00"), "90 7F");
}

TEST_F(Acr122uReaderTest, LedControlChangesOnlyTheMaskedLeds) {
    EXPECT_EQ(send("FF 00 40 0E 04 01 01 01 01"), "90 02");  // green on, red off
    EXPECT_EQ(send("FF 00 40 05 04 01 01 01 01"), "90 03");  // red on, green untouched
    EXPECT_EQ(send("FF 00 40 50 04 01 01 01 01"), "90 03");  // blinking only: no change
    EXPECT_EQ(send("FF 00 40 0C 04 00 00 00 00"), "90 00");  // both off
    EXPECT_EQ(reader.led_state(), 0x00);
}

}  // namespace
}  // namespace vreader::testing
