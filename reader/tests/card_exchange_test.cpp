// Card exchange exports: oSendTo's three exchange types and the two fixed card
// commands with their one-byte condensing.
#include <array>

#include "reader_api.h"
#include "wire_test_support.h"

namespace {

using namespace wire;

constexpr std::int32_t kCard = 0x1A2B;
constexpr std::uint8_t kUntouched = 0xEE;

void readerAnswers(const std::string& answerWithStatus) {
    const Bytes bytes = hex(answerWithStatus);
    answer("61 " + hexOf({static_cast<std::uint8_t>(bytes.size())}));
    pcsc_double::replyWith(bytes);
}

struct Reply {
    std::int32_t length = -9;
    std::array<std::uint8_t, QVR_CAPACITY_MAX> bytes;
    Reply() { bytes.fill(kUntouched); }
    std::string first(std::size_t count) const { return hexPrefix(bytes.data(), count); }
};

// ---- oSendTo ------------------------------------------------------------------------

TEST_F(WireTest, SendToWrapsTheCommandInInDataExchange) {
    for (std::int32_t type : {11, 12}) {
        pcsc_double::reset();
        readerAnswers("D5 41 00 AA BB 6A 82 90 00");
        const Bytes command = hex("00 B0 00 00 02");
        Reply r;
        const std::int32_t status = oSendTo(kCard, type, command.data(), 5, r.bytes.data(), 1000, &r.length);
        expectWire({{"FF 00 00 00 08 D4 40 01 00 B0 00 00 02", 1000}, {"FF C0 00 00 09", 9}});
        if (type == 11) {
            EXPECT_EQ(status, 0x6A82) << "the card's status word";
            EXPECT_EQ(r.length, 2);
            EXPECT_EQ(r.first(3), "AA BB EE");
        } else {
            EXPECT_EQ(status, QVR_SW_SUCCESS) << "the reader's status word";
            EXPECT_EQ(r.length, 4);
            EXPECT_EQ(r.first(5), "AA BB 6A 82 EE");
        }
    }
}

TEST_F(WireTest, SendToPassesTheCallersCapacityForTheFirstReply) {
    answer("90 00");
    const Bytes command = hex("00");
    Reply r;
    oSendTo(kCard, QVR_EXCHANGE_CARD_DATA, command.data(), 1, r.bytes.data(), 17, &r.length);
    expectWire({{"FF 00 00 00 04 D4 40 01 00", 17}});
}

TEST_F(WireTest, SendToRawDeliversTheWholeReplyAndClearsTheLength) {
    answer("6A 82");
    const Bytes command = hex("00 A4 04 00 02 3F 00");
    Reply r;
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_RAW, command.data(), 7, r.bytes.data(), 1000, &r.length), 2);
    expectWire({{"00 A4 04 00 02 3F 00", 1000}});
    EXPECT_EQ(r.first(3), "6A 82 EE");
    EXPECT_EQ(r.length, 0);
}

TEST_F(WireTest, SendToRawFollowsPendingDataWithClassZeroGetResponse) {
    answer("61 04");
    answer("01 02 90 00");
    const Bytes command = hex("80 CA 9F 7F 00");
    Reply r;
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_RAW, command.data(), 5, r.bytes.data(), 64, &r.length), 4);
    expectWire({{"80 CA 9F 7F 00", 64}, {"00 C0 00 00 04", 6}});
    EXPECT_EQ(r.first(5), "01 02 90 00 EE");
    EXPECT_EQ(r.length, 0);
}

TEST_F(WireTest, SendToRawFailuresGiveZeroAndClearTheLength) {
    const Bytes command = hex("00 B0 00 00 00");
    Reply r;
    pcsc_double::failTransmit(SCARD_E_NO_SMARTCARD);
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_RAW, command.data(), 5, r.bytes.data(), 64, &r.length), 0);
    EXPECT_EQ(r.length, 0);
    r.length = 5;
    EXPECT_EQ(oSendTo(0, QVR_EXCHANGE_RAW, command.data(), 5, r.bytes.data(), 64, &r.length), QVR_NOT_SENT);
    EXPECT_EQ(r.length, 0);
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_RAW, command.data(), 5, r.bytes.data(), 64, nullptr), 0);
    EXPECT_EQ(pcsc_double::transmits().size(), 1u);
}

TEST_F(WireTest, SendToUnknownTypeSendsNothingAndKeepsTheLength) {
    const Bytes command = hex("00 B0 00 00 00");
    for (std::int32_t type : {0, 9, 13, -11, 0x10B}) {
        Reply r;
        r.length = 321;
        EXPECT_EQ(oSendTo(kCard, type, command.data(), 5, r.bytes.data(), 64, &r.length), QVR_UNKNOWN_EXCHANGE_TYPE) << type;
        EXPECT_EQ(r.length, 321);
    }
    expectNothingSent();
}

TEST_F(WireTest, SendToRefusesCommandsTheReaderCannotFrame) {
    std::array<std::uint8_t, 300> command{};
    Reply r;
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_CARD_DATA, command.data(), 253, r.bytes.data(), 1000, &r.length), QVR_NOT_SENT);
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_CARD_ANSWER, command.data(), -1, r.bytes.data(), 1000, &r.length), QVR_NOT_SENT);
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_CARD_ANSWER, nullptr, 4, r.bytes.data(), 1000, &r.length), QVR_NOT_SENT);
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_CARD_ANSWER, command.data(), 4, r.bytes.data(), -5, &r.length), QVR_NOT_SENT);
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_CARD_DATA, command.data(), 4, nullptr, 1000, &r.length), QVR_NOT_SENT);
    expectNothingSent();
}

// A card that left between polling and exchange shows as the chip's error status.
TEST_F(WireTest, SendToReportsAVanishedCardAsTheChipStatus) {
    readerAnswers("D5 41 01 90 00");
    const Bytes command = hex("00 B0 00 00 00");
    Reply r;
    EXPECT_EQ(oSendTo(kCard, QVR_EXCHANGE_CARD_DATA, command.data(), 5, r.bytes.data(), 1000, &r.length), 0x4101);
    EXPECT_EQ(r.first(3), "D5 41 01");
}

// ---- FeliCa Request Response ----------------------------------------------------------

const char* kIdm = "0102030405060708";

TEST_F(WireTest, FeliCaRequestResponseCondensesToTheModeByte) {
    for (int modeValue : {0x00, 0x03}) {
        const auto mode = static_cast<std::uint8_t>(modeValue);
        pcsc_double::reset();
        readerAnswers("D5 41 00 0B 05 01 02 03 04 05 06 07 08 " + hexOf({mode}) + " 90 00");
        Reply r;
        EXPECT_EQ(oRequestResponseTypeC(kCard, kIdm, r.bytes.data(), &r.length), QVR_SW_SUCCESS);
        expectWire({{"FF 00 00 00 0D D4 40 01 0A 04 01 02 03 04 05 06 07 08", 4}, {"FF C0 00 00 10", 16}});
        EXPECT_EQ(r.length, 1);
        EXPECT_EQ(r.first(12), hexOf({mode}) + " 00 00 00 00 00 00 00 00 00 00 EE");
    }
}

TEST_F(WireTest, FeliCaRequestResponseOfOtherLengthsIsLeftAlone) {
    struct OtherLength {
        std::string answer;     // the reader's answer to GET RESPONSE
        std::string delivered;  // what the caller receives, unchanged
    };
    for (const OtherLength& c :
         {OtherLength{"D5 41 00 0B 05 01 02 03 04 05 06 07 08 90 00",
                      "0B 05 01 02 03 04 05 06 07 08"},
          OtherLength{"D5 41 00 0B 05 01 02 03 04 05 06 07 08 00 01 90 00",
                      "0B 05 01 02 03 04 05 06 07 08 00 01"},
          OtherLength{"D5 41 01 90 00", "D5 41 01"}}) {
        pcsc_double::reset();
        readerAnswers(c.answer);
        Reply r;
        EXPECT_EQ(oRequestResponseTypeC(kCard, kIdm, r.bytes.data(), &r.length), QVR_SW_SUCCESS);
        const std::size_t expected = hex(c.delivered).size();
        EXPECT_EQ(r.length, static_cast<std::int32_t>(expected)) << c.answer;
        EXPECT_EQ(r.first(expected), c.delivered);
    }
}

TEST_F(WireTest, FeliCaRequestResponseRefusesIdmTextThatIsNotHex) {
    Reply r;
    r.length = 11;
    for (const char* idm : {"01020304050607G8", "0102", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(oRequestResponseTypeC(kCard, idm, r.bytes.data(), &r.length), QVR_FALLBACK_REQUEST);
        EXPECT_EQ(oRequestResponseTypeC(0, idm, r.bytes.data(), &r.length), QVR_FALLBACK_REQUEST);
    }
    expectNothingSent();
    EXPECT_EQ(r.length, 11);
    EXPECT_EQ(r.bytes[0], kUntouched);
}

TEST_F(WireTest, FeliCaRequestResponseWithoutCardLeavesTheReplyAlone) {
    Reply r;
    r.length = 11;  // a leftover that must not be mistaken for an answer
    EXPECT_EQ(oRequestResponseTypeC(0, kIdm, r.bytes.data(), &r.length), QVR_NOT_SENT);
    EXPECT_EQ(r.length, 11);
    EXPECT_EQ(r.bytes[0], kUntouched);
    EXPECT_EQ(oRequestResponseTypeC(kCard, kIdm, nullptr, &r.length), QVR_NOT_SENT);
    EXPECT_EQ(oRequestResponseTypeC(kCard, kIdm, r.bytes.data(), nullptr), QVR_NOT_SENT);
    expectNothingSent();
}

// ---- Type B fixed command -----------------------------------------------------------

std::string typeBAnswer(std::size_t dataBytes, const std::string& cardStatus = "90 00") {
    std::string text = "D5 41 00";
    for (std::size_t i = 0; i < dataBytes; ++i) text += " " + hexOf({static_cast<std::uint8_t>(i + 1)});
    return text + " " + cardStatus + " 90 00";
}

TEST_F(WireTest, TypeBCommandCondenses95DataBytesTo02) {
    readerAnswers(typeBAnswer(95));
    Reply r;
    EXPECT_EQ(oRequestResponseTypeB(kCard, r.bytes.data(), &r.length), QVR_SW_SUCCESS);
    expectWire({{"FF 00 00 00 09 D4 40 01 90 32 03 00 00 00", 4}, {"FF C0 00 00 66", 102}});
    EXPECT_EQ(r.length, 1);
    EXPECT_EQ(r.bytes[0], 0x02);
    for (std::size_t i = 1; i < 95; ++i) ASSERT_EQ(r.bytes[i], 0) << i;
    EXPECT_EQ(r.bytes[95], kUntouched);
}

TEST_F(WireTest, TypeBCommandLeavesOtherLengthsAlone) {
    for (std::size_t data : {94u, 96u}) {
        pcsc_double::reset();
        readerAnswers(typeBAnswer(data, "91 00"));
        Reply r;
        EXPECT_EQ(oRequestResponseTypeB(kCard, r.bytes.data(), &r.length), 0x9100) << "card status";
        EXPECT_EQ(r.length, static_cast<std::int32_t>(data));
        EXPECT_EQ(r.bytes[0], 0x01);
        EXPECT_EQ(r.bytes[data - 1], static_cast<std::uint8_t>(data));
    }
}

TEST_F(WireTest, TypeBCommandPassesEngineFailuresThrough) {
    Reply r;
    r.length = 95;
    EXPECT_EQ(oRequestResponseTypeB(0, r.bytes.data(), &r.length), QVR_NOT_SENT);
    EXPECT_EQ(r.length, 95);
    EXPECT_EQ(r.bytes[0], kUntouched);
    pcsc_double::failTransmit(SCARD_E_NO_SMARTCARD);
    EXPECT_EQ(oRequestResponseTypeB(kCard, r.bytes.data(), &r.length), QVR_TRANSPORT_FAILED);
    EXPECT_EQ(r.length, 0);
}

}  // namespace
