// The PN532 layer: host frames in, chip frames out, with cards in the field.
#include <gtest/gtest.h>

#include "chip_bench.h"

namespace vreader::testing {
namespace {

// Commands as the host sends them.
const Bytes kGetFirmwareVersion = H("D4 02");
const Bytes kRfFieldOff = H("D4 32 01 00");
const Bytes kRfFieldOn = H("D4 32 01 01");
const Bytes kListTypeB = H("D4 4A 01 03 00");
const Bytes kListFeliCa212 = H("D4 4A 01 01 00 FF FF 01 00");
const Bytes kListTypeA = H("D4 4A 01 00");
const Bytes kAutoPollAllTypes = H("D4 60 01 01 23 11 12 20 10");
const Bytes kOneActivationAttempt = H("D4 32 05 FF 01 00");
const Bytes kTypeBReadBinary = H("D4 40 01 00 B0 00 00 00");

using std::chrono::milliseconds;

// The chip as the reader's firmware leaves it: one passive activation attempt.
class Pn532ChipTest : public ::testing::Test, protected ChipBench {
protected:
    Pn532ChipTest() { run(kOneActivationAttempt); }

    Bytes run(const Bytes& frame) { return chip.execute(frame); }
};

TEST_F(Pn532ChipTest, HousekeepingCommands) {
    struct Case {
        const char* name;
        Bytes command;
        Bytes answer;
    };
    const Case cases[] = {
        {"GetFirmwareVersion", kGetFirmwareVersion, H("D5 03 32 01 06 07")},
        {"RFConfiguration field off", kRfFieldOff, H("D5 33")},
        {"RFConfiguration MaxRetries", H("D4 32 05 00 00 00"), H("D5 33")},
        {"RFConfiguration timings", H("D4 32 02 00 0B 0A"), H("D5 33")},
        {"SetParameters", H("D4 12 14"), H("D5 13")},
        {"SAMConfiguration", H("D4 14 01"), H("D5 15")},
        {"WriteRegister", H("D4 08 63 02 80 63 03 80"), H("D5 09")},
        {"ReadRegister", H("D4 06 63 02 63 03 63 05"), H("D5 07 80 80 00")},
        {"GetGeneralStatus", H("D4 04"), H("D5 05 00 00 00 80")},
        {"InRelease all", H("D4 52 00"), H("D5 53 00")},
        {"InDeselect without target", H("D4 44 01"), H("D5 45 27")},
        {"InRelease without target", H("D4 52 01"), H("D5 53 27")},
        {"InPSL without target", H("D4 4E 01 02 02"), H("D5 4F 27")},
        {"InDataExchange without target", H("D4 40 01 00 B0 00 00 00"), H("D5 41 27")},
        {"InCommunicateThru without target", H("D4 42 26"), H("D5 43 01")},
    };
    for (const Case& c : cases) EXPECT_EQ(formatHex(run(c.command)), formatHex(c.answer)) << c.name;
}

TEST_F(Pn532ChipTest, FramesTheChipCannotParseGetTheSyntaxErrorFrame) {
    const Bytes cases[] = {
        H("D4"),                  // no command code
        H("D5 02"),               // not a host frame
        H("D4 FE"),               // unknown command
        H("D4 4A 03 00"),         // MaxTg above 2
        H("D4 4A 01 01 00 FF"),   // FeliCa without a whole Polling request
        H("D4 4A 01 09"),         // unknown BrTy
        H("D4 60 01 01"),         // InAutoPoll without a type
        H("D4 32 01"),            // RF field item without its value
        H("D4 06 63"),            // half a register address
        H("D4 40"),               // InDataExchange without a target number
    };
    for (const Bytes& frame : cases) EXPECT_EQ(run(frame), H("7F")) << formatHex(frame);
}

TEST_F(Pn532ChipTest, InListPassiveTargetTypeB) {
    EXPECT_EQ(run(kListTypeB), H("D5 4B 00"));
    field.insert(*typeB);
    EXPECT_EQ(formatHex(run(kListTypeB)), "D5 4B 01 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00");
}

TEST_F(Pn532ChipTest, InListPassiveTargetFeliCaWithSystemCode) {
    field.insert(*felica);
    EXPECT_EQ(formatHex(run(kListFeliCa212)),
              "D5 4B 01 01 14 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8 AA BB");
    EXPECT_EQ(formatHex(run(H("D4 4A 01 02 00 FF FF 00 00"))),
              "D5 4B 01 01 12 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8");
}

TEST_F(Pn532ChipTest, InListPassiveTargetTypeAFindsTwoCardsInFieldOrder) {
    field.insert(*type2);
    field.insert(*typeA);
    EXPECT_EQ(formatHex(run(H("D4 4A 02 00"))),
              "D5 4B 02 01 00 44 00 07 04 A1 B2 C3 D4 E5 F6 02 00 04 20 04 08 12 34 56 05 78 80 70 02");
    EXPECT_EQ(run(kListTypeA), H("D5 4B 01 01 00 44 00 07 04 A1 B2 C3 D4 E5 F6"));
}

TEST_F(Pn532ChipTest, InAutoPollReportsTypeLengthAndTargetData) {
    field.insert(*felica);
    EXPECT_EQ(formatHex(run(H("D4 60 01 01 11"))),
              "D5 61 01 11 15 01 14 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8 AA BB");
    field.remove(*felica);
    field.insert(*typeB);
    EXPECT_EQ(formatHex(run(H("D4 60 01 01 23"))),
              "D5 61 01 23 0F 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00");
}

// Each type of the library's list, alone in the field, is found under its own code.
TEST_F(Pn532ChipTest, InAutoPollFindsEachCardTypeUnderItsCode) {
    auto felica424Only = makeFelica("f424", false, true);
    const std::pair<Card*, std::uint8_t> cases[] = {
        {typeB.get(), 0x23}, {felica.get(), 0x11}, {felica424Only.get(), 0x12},
        {typeA.get(), 0x20}, {type2.get(), 0x10},
    };
    for (const auto& [card, type] : cases) {
        field.insert(*card);
        const Bytes answer = run(kAutoPollAllTypes);
        ASSERT_GE(answer.size(), 6u) << card->id();
        EXPECT_EQ(answer[2], 0x01) << card->id();
        EXPECT_EQ(answer[3], type) << card->id();
        EXPECT_EQ(answer[4], answer.size() - 5) << card->id();  // Ln counts Tg and the data
        field.remove(*card);
    }
}

TEST_F(Pn532ChipTest, InAutoPollStopsAtTwoTargetsAndFollowsTheTypeList) {
    field.insert(*type2);
    field.insert(*felica);
    field.insert(*typeB);
    const Bytes answer = run(kAutoPollAllTypes);
    ASSERT_GE(answer.size(), 4u);
    EXPECT_EQ(answer[2], 0x02);
    EXPECT_EQ(answer[3], 0x23);  // Type B is first in the list, though last in the field
    const std::size_t second = 5 + answer[4];
    ASSERT_GT(answer.size(), second);
    EXPECT_EQ(answer[second], 0x11);
}

TEST_F(Pn532ChipTest, RfFieldOffSilencesTheCardUntilTheNextPollSwitchesItOn) {
    field.insert(*typeB);
    ASSERT_EQ(run(kListTypeB)[2], 0x01);
    EXPECT_EQ(run(kRfFieldOff), H("D5 33"));
    EXPECT_FALSE(chip.rfFieldOn());
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 01"));
    EXPECT_EQ(run(kAutoPollAllTypes)[2], 0x01);
    EXPECT_TRUE(chip.rfFieldOn());
    EXPECT_EQ(run(kRfFieldOff), H("D5 33"));
    EXPECT_EQ(run(kListTypeB)[2], 0x01);
    EXPECT_TRUE(chip.rfFieldOn());
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 00 6A 82"));
}

TEST_F(Pn532ChipTest, InDataExchangeCarriesTheCardsAnswer) {
    field.insert(*typeB);
    run(kListTypeB);
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 00 6A 82"));
    EXPECT_EQ(run(H("D4 40 01 00 A4 04 00 02 3F 00")), H("D5 41 00 6F 00 90 00"));
    EXPECT_EQ(run(H("D4 40 02 00 B0 00 00 00")), H("D5 41 27"));  // no second target
}

// PN532 software sees whether an ISO/IEC 14443-4 card is still there with a raw
// R(NAK). After InAutoPoll the CIU frames for target 1, not for the last type tried;
// an InDataExchange moves the card's block number on.
TEST_F(Pn532ChipTest, RawRNakAfterAPollReachesTheCard) {
    field.insert(*typeA);
    ASSERT_EQ(run(H("D4 60 14 02 20 10 03 11 12 04 03"))[2], 0x01);
    EXPECT_EQ(formatHex(run(H("D4 42 B2"))), "D5 43 00 A3");
    EXPECT_EQ(formatHex(run(H("D4 40 01 00 CA 00 00 00"))), "D5 41 00 6A 82");
    EXPECT_EQ(formatHex(run(H("D4 42 B2"))), "D5 43 00 02 6A 82");
}

TEST_F(Pn532ChipTest, FeliCaRequestResponseThroughInDataExchange) {
    field.insert(*felica);
    run(kListFeliCa212);
    EXPECT_EQ(run(H("D4 40 01 0A 04 01 02 03 04 05 06 07 08")),
              H("D5 41 00 0B 05 01 02 03 04 05 06 07 08 02"));
    EXPECT_EQ(run(H("D4 40 01 0A 04 FF 02 03 04 05 06 07 08")), H("D5 41 01"));
}

TEST_F(Pn532ChipTest, Type2ReadThroughInDataExchange) {
    field.insert(*type2);
    run(H("D4 60 01 01 10"));
    EXPECT_EQ(formatHex(run(H("D4 40 01 30 04"))),
              "D5 41 00 40 41 42 43 50 51 52 53 60 61 62 63 70 71 72 73");
}

TEST_F(Pn532ChipTest, CardThatLeftTheFieldTimesOut) {
    field.insert(*typeB);
    run(kListTypeB);
    field.remove(*typeB);
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 01"));
    // Back in the field it is idle again: only a new activation makes it answer.
    field.insert(*typeB);
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 01"));
    ASSERT_EQ(run(kListTypeB)[2], 0x01);
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 00 6A 82"));
}

TEST_F(Pn532ChipTest, ReleasedOrReplacedTargetsAreGone) {
    field.insert(*typeB);
    run(kListTypeB);
    EXPECT_EQ(run(H("D4 44 01")), H("D5 45 00"));
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 00 6A 82"));  // deselect keeps it
    EXPECT_EQ(run(H("D4 52 01")), H("D5 53 00"));
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 27"));
    run(kListTypeB);
    EXPECT_EQ(run(kListFeliCa212), H("D5 4B 00"));  // an empty poll clears the list
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 27"));
}

TEST_F(Pn532ChipTest, InPslChangesTheReportedBitRates) {
    field.insert(*typeB);
    run(kListTypeB);
    EXPECT_EQ(run(H("D4 4E 01 02 02")), H("D5 4F 00"));
    EXPECT_EQ(run(H("D4 4E 01 03 02")), H("D5 4F 10"));
    EXPECT_EQ(run(H("D4 04")), H("D5 05 00 00 01 01 02 02 00 80"));
}

TEST_F(Pn532ChipTest, TimeoutFaultHitsExchangesButNotPolling) {
    field.insert(*typeB);
    faults.exchangeTimeout = true;
    EXPECT_EQ(run(kListTypeB)[2], 0x01);
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 01"));
    faults.clear();
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 00 6A 82"));
}

TEST_F(Pn532ChipTest, VanishFaultTakesTheCardAwayAfterOnePoll) {
    field.insert(*typeB);
    faults.vanishAfterPoll = true;
    EXPECT_EQ(run(kListTypeB)[2], 0x01);
    EXPECT_FALSE(field.contains(*typeB));
    EXPECT_FALSE(faults.vanishAfterPoll);
    EXPECT_EQ(run(H("D4 40 01 00 B0 00 00 00")), H("D5 41 01"));
    EXPECT_EQ(run(kListTypeB), H("D5 4B 00"));
}

}  // namespace
}  // namespace vreader::testing
