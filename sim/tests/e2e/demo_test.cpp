// Through the real pcscd with the demo scenario: a Type B card with an ISO 7816
// application, then a FeliCa card, in the field.
#include "e2e_test_support.h"

namespace vreader::e2e {
namespace {

constexpr const char* kTypeBTarget = "50 E8 25 3E EC 00 00 00 11 00 81 85 01 00";
constexpr const char* kFeliCaPollingAnswer =
    "14 01 01 2E 4C 8A 13 57 9B DF 03 01 4B 02 4F 49 93 FF 88 B4";

using Demo = ConnectedTest;

TEST_F(Demo, ReaderAndChipIdentifyThemselves) {
    const Reply firmware = session.transmit(H("FF 00 48 00 00"));
    ASSERT_EQ(firmware.result, SCARD_S_SUCCESS);
    EXPECT_EQ(std::string(firmware.bytes.begin(), firmware.bytes.end()), "ACR122U215");
    EXPECT_EQ(chipHex(kGetFirmwareVersion), "D5 03 32 01 06 07");
    EXPECT_EQ(formatHex(session.transmit(H("FF 00 40 0E 04 01 01 01 01")).bytes), "90 02");
    EXPECT_EQ(formatHex(session.transmit(H("FF 00 52 00 00")).bytes), "90 00");
    EXPECT_EQ(formatHex(session.transmit(H("FF 00 51 7F 00")).bytes), "90 7F");
}

TEST_F(Demo, AutoPollWithTheLibrarysTypeListFindsBothCardsInListOrder) {
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes),
              std::string("D5 61 02 23 0F 01 ") + kTypeBTarget + " 11 15 02 " + kFeliCaPollingAnswer);
}

TEST_F(Demo, TypeBCardAnswersItsApplicationThroughInDataExchange) {
    EXPECT_EQ(chipHex(kListTypeB), std::string("D5 4B 01 01 ") + kTypeBTarget);
    EXPECT_EQ(chipHex(H("D4 40 01 00 A4 04 00 06 F0 51 56 52 00 01")),
              "D5 41 00 6F 08 84 06 F0 51 56 52 00 01 90 00");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 00 6A 82");
    EXPECT_EQ(chipHex(H("D4 40 01 00 CA 00 00 00")), "D5 41 00 6D 00");
    // The fixed command whose 95-byte answer the library condenses.
    const Bytes answer = session.chip(H("D4 40 01 90 32 03 00 00 00"));
    ASSERT_EQ(answer.size(), 3u + 95u + 2u);
    EXPECT_EQ(formatHex(Bytes(answer.begin(), answer.begin() + 4)), "D5 41 00 01");
    EXPECT_EQ(formatHex(Bytes(answer.end() - 3, answer.end())), "5F 90 00");
}

TEST_F(Demo, FeliCaCardIsListedAndReportsItsMode) {
    EXPECT_EQ(chipHex(kListFeliCa212), std::string("D5 4B 01 01 ") + kFeliCaPollingAnswer);
    EXPECT_EQ(chipHex(H("D4 40 01 0A 04 01 2E 4C 8A 13 57 9B DF")),
              "D5 41 00 0B 05 01 2E 4C 8A 13 57 9B DF 00");
}

// Under T=1 the reader answers a chip command whole; GET RESPONSE then finds
// nothing announced.
TEST_F(Demo, T1AnswersWholeAndGetResponseFindsNothing) {
    EXPECT_EQ(formatHex(session.transmit(H("FF C0 00 00 05")).bytes), "63 00");
    EXPECT_EQ(formatHex(session.transmit(H("FF 00 00 00 02 D4 02")).bytes), "D5 03 32 01 06 07 90 00");
    EXPECT_EQ(formatHex(session.transmit(H("FF C0 00 00 08")).bytes), "63 00");
}

TEST_F(Demo, AnswerLongerThanTheCapacityFailsInPcscAfterReachingTheReader) {
    EXPECT_EQ(session.transmit(H("FF 00 00 00 02 D4 02"), 4).result, SCARD_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(formatHex(session.transmit(H("FF 00 48 00 00")).bytes), "41 43 52 31 32 32 55 32 31 35");
}

TEST_F(Demo, RefusedCommands) {
    // The reader polled the FeliCa card by itself: an APDU of another class cannot go
    // to it transparently (it is no ISO/IEC 14443-4 card), and FF CA gives its IDm.
    EXPECT_EQ(formatHex(session.transmit(H("00 A4 04 00 00")).bytes), "63 00");
    EXPECT_EQ(formatHex(session.transmit(H("FF CA 00 00 00")).bytes), "01 2E 4C 8A 13 57 9B DF 90 00");
    EXPECT_EQ(formatHex(session.transmit(H("FF 00 00 00 05 D4 02")).bytes), "67 00");
    EXPECT_EQ(chipHex(H("D4 FE")), "7F");
}

TEST_F(Demo, ExchangeWithoutAnActivatedTargetIsNotAcceptable) {
    EXPECT_EQ(chipHex(kReleaseAll), "D5 53 00");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 27");
    EXPECT_EQ(chipHex(H("D4 44 01")), "D5 45 27");
}

}  // namespace
}  // namespace vreader::e2e
