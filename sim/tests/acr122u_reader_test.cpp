// The ACR122U layer: pseudo-APDUs in, reader answers out, GET RESPONSE holding.
#include <gtest/gtest.h>

#include "model/acr122u_reader.h"
#include "step_clock.h"
#include "test_cards.h"

namespace vreader::testing {
namespace {

class Acr122uReaderTest : public ::testing::Test {
protected:
    std::string send(const std::string& apdu) { return formatHex(reader.transmit(H(apdu))); }

    std::string whole(const std::string& apdu) { return formatHex(reader.exchangeWhole(H(apdu))); }
    std::string atr() const { return reader.cardAtr() ? formatHex(*reader.cardAtr()) : "none"; }
    // A card put in the field and the reader's polling that follows.
    void put(Card& card) {
        field.insert(card);
        reader.pollField();
    }

    std::unique_ptr<TypeBCard> typeB = makeTypeB();
    std::unique_ptr<TypeACard> typeA = makeTypeA();
    std::unique_ptr<Type2Tag> type2 = makeType2();
    std::unique_ptr<FeliCaCard> felica = makeFelica();
    Field field;
    Faults faults;
    StepClock clock{field};
    Pn532Chip chip{field, faults};
    Acr122uReader reader{chip};

    void SetUp() override { chip.useClock(clock); }
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
    EXPECT_TRUE(reader.hasPending());
    EXPECT_EQ(send("FF C0 00 00 08"), "D5 03 32 01 06 07 90 00");
}

TEST_F(Acr122uReaderTest, AnotherCommandDropsAnAnswerNotFetched) {
    EXPECT_EQ(send("FF 00 00 00 02 D4 02"), "61 08");
    EXPECT_EQ(send("FF 00 48 00 00").size(), 29u);
    EXPECT_EQ(send("FF C0 00 00 08"), "63 00");
}

TEST_F(Acr122uReaderTest, PollAndExchangeWithTheCardEndToEnd) {
    field.insert(*typeB);
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
        {"00 A4 04 00 00", "63 00"},             // for a card, but none is activated
        {"FF CA 00 00 00", "63 00"},             // UID, but no card
        {"FF CB 00 00 00", "6D 00"},             // unknown instruction
        {"FF CA 02 00 00", "6A 81"},             // Get Data knows UID and ATS only
        {"FF 00 41 05", "67 00"},                // timeout parameter without Le
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
    EXPECT_EQ(reader.ledState(), 0x00);
}

// API manual 3.1 / PC/SC part 3: the pseudo-ATR of each kind of card the reader
// activated by itself, and none once the card has left.
TEST_F(Acr122uReaderTest, PseudoAtrOfTheCardTheReaderActivated) {
    EXPECT_EQ(atr(), "none");
    const std::pair<Card*, const char*> cases[] = {
        {typeB.get(), "3B 8C 80 01 50 E8 25 3E EC 00 00 00 11 00 81 85 57"},
        {typeA.get(), "3B 80 80 01 01"},
        {type2.get(), "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68"},
        {felica.get(), "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 F0 11 00 00 00 00 8A"},
    };
    for (const auto& [card, expected] : cases) {
        put(*card);
        EXPECT_EQ(atr(), expected) << card->id();
        field.remove(*card);
        reader.pollField();
        EXPECT_EQ(atr(), "none") << card->id();
    }
}

// The firmware's polling follows the PICC operating parameters: polling off finds
// nothing; only the enabled card types are looked for; without automatic ATS a
// Type A ISO/IEC 14443-4 card is taken at layer 3.
TEST_F(Acr122uReaderTest, PiccParametersSteerTheReadersOwnPolling) {
    send("FF 00 51 7F 00");
    put(*typeB);
    EXPECT_EQ(atr(), "none");
    send("FF 00 51 FD 00");  // all but Type B
    reader.pollField();
    EXPECT_EQ(atr(), "none");
    send("FF 00 51 BF 00");  // all but automatic ATS
    field.remove(*typeB);
    put(*typeA);
    EXPECT_EQ(atr(), "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 FF 20 00 00 00 00 B4");
}

// A card that left and came back is activated anew by the firmware; the chip holds
// it as target 1 with the SAM status 80.
TEST_F(Acr122uReaderTest, ReaderActivatesTheCardItFindsAsTarget1) {
    put(*typeB);
    EXPECT_EQ(whole("FF 00 00 00 02 D4 04"), "D5 05 00 00 01 01 00 00 00 80 90 00");
    EXPECT_EQ(whole("FF 00 00 00 08 D4 40 01 00 B0 00 00 00"), "D5 41 00 6A 82 90 00");
    field.remove(*typeB);
    field.insert(*typeB);
    EXPECT_EQ(whole("FF 00 00 00 08 D4 40 01 00 B0 00 00 00"), "D5 41 01 90 00");
    reader.pollField();
    EXPECT_EQ(whole("FF 00 00 00 08 D4 40 01 00 B0 00 00 00"), "D5 41 00 6A 82 90 00");
}

// API manual 4.1, Get Data: UID (NFCID1, PUPI or IDm) and ATS; the ATS only of an
// ISO/IEC 14443-4 Type A card.
TEST_F(Acr122uReaderTest, GetDataReportsUidAndAts) {
    put(*typeB);
    EXPECT_EQ(send("FF CA 00 00 00"), "E8 25 3E EC 90 00");
    EXPECT_EQ(send("FF CA 00 00 02"), "6C 04");
    EXPECT_EQ(send("FF CA 01 00 00"), "6A 81");
    field.remove(*typeB);
    reader.pollField();
    EXPECT_EQ(send("FF CA 00 00 00"), "63 00");
    put(*typeA);
    EXPECT_EQ(send("FF CA 00 00 04"), "08 12 34 56 90 00");
    EXPECT_EQ(send("FF CA 01 00 00"), "05 78 80 70 02 90 00");
}

// APDUs of other classes go to the ISO/IEC 14443-4 card the reader holds and come
// back as the card answered, a chained answer joined; a storage card gets 63 00.
TEST_F(Acr122uReaderTest, OtherClassesReachTheIso14443_4CardTransparently) {
    put(*typeB);
    EXPECT_EQ(send("00 B0 00 00 00"), "6A 82");
    const Bytes longAnswer = reader.transmit(H("90 32 03 00 00 00"));
    ASSERT_EQ(longAnswer.size(), 302u);
    EXPECT_EQ(longAnswer[299], 299 & 0xFF);
    field.remove(*typeB);
    put(*type2);
    EXPECT_EQ(send("00 B0 00 00 00"), "63 00");
}

// FF 00 41: the reader waits for the chip at most P2 x 5 s, then answers 63 00.
TEST_F(Acr122uReaderTest, TimeoutParameterBoundsTheWaitForTheChip) {
    EXPECT_EQ(send("FF 00 41 01 00"), "90 00");
    EXPECT_EQ(send("FF 00 00 00 06 D4 32 05 FF 01 FF"), "61 04");
    EXPECT_EQ(send("FF 00 00 00 05 D4 4A 01 03 00"), "63 00");
    EXPECT_EQ(clock.waited, std::chrono::seconds(5));
    EXPECT_FALSE(reader.hasPending());
}

// A chained chip answer fits GET RESPONSE: 61 00 announces 256 bytes.
TEST_F(Acr122uReaderTest, ChainedChipAnswerFitsOneGetResponse) {
    put(*typeB);
    EXPECT_EQ(send("FF 00 00 00 09 D4 40 01 90 32 03 00 00 00"), "61 00");
    EXPECT_EQ(reader.transmit(H("FF C0 00 00 00")).size(), 256u);
}

}  // namespace
}  // namespace vreader::testing
