// The transceive engine on the PC/SC double: framing, GET RESPONSE, and the
// trimming table row by row.
#include <array>
#include <cstring>
#include <vector>

#include "context_table.h"
#include "reader_api.h"
#include "transceive.h"
#include "wire_test_support.h"

namespace {

using namespace wire;
using qvr::ReaderPart;
using qvr::kClassCardAnswer;
using qvr::kClassCardData;
using qvr::kClassChipData;
using qvr::kModeDataExchange;
using qvr::kModeDirect;
using qvr::kModeLedBuzzer;

constexpr std::uint8_t kUntouched = 0xEE;

struct EngineRun {
    std::int32_t status;
    std::int32_t replyLength;
    std::array<std::uint8_t, 300> destination;
};

ReaderPart readerWithCard(std::int32_t card) {
    ReaderPart reader{};
    reader.card = card;
    return reader;
}

EngineRun run(std::uint8_t mode, std::uint8_t responseClass, const std::string& command,
              std::int32_t capacity = 4, std::int32_t card = 0x1A2B, std::int32_t initialLength = -77) {
    EngineRun result{};
    result.destination.fill(kUntouched);
    result.replyLength = initialLength;
    const Bytes bytes = hex(command);
    const ReaderPart reader = readerWithCard(card);
    result.status = qvr::Transceive(result.destination.data(), capacity, reader, mode, responseClass,
                                    bytes.data(), static_cast<std::int32_t>(bytes.size()),
                                    &result.replyLength);
    return result;
}

std::string delivered(const EngineRun& r) {
    return hexPrefix(r.destination.data(), static_cast<std::size_t>(std::max(r.replyLength, 0)));
}

bool untouchedFrom(const EngineRun& r, std::size_t from) {
    for (std::size_t i = from; i < r.destination.size(); ++i)
        if (r.destination[i] != kUntouched) return false;
    return true;
}

// A handle the context table knows as a T=1 card connection, as a connect under
// T=1 leaves it, for as long as the object lives.
struct T1Handle {
    static constexpr std::int32_t kCard = 0x7101;
    T1Handle() { qvr::rememberContext(kCard, 0, qvr::Link::kCardT1); }
    ~T1Handle() { qvr::takeContext(kCard); }
    T1Handle(const T1Handle&) = delete;
    T1Handle& operator=(const T1Handle&) = delete;
};

// ---- Trimming of GET RESPONSE answers, one row per case ----------------------------

struct TrimCase {
    const char* name;
    std::uint8_t mode;
    std::uint8_t responseClass;
    std::string answer;     // the GET RESPONSE answer
    std::int32_t status;
    std::string delivered;  // bytes in the destination
};
PRINTS_AS_ITS_NAME(TrimCase)

class TrimTable : public WireTest, public ::testing::WithParamInterface<TrimCase> {};

TEST_P(TrimTable, DeliversTheListedBytesAndStatus) {
    const TrimCase& c = GetParam();
    const std::size_t m = hex(c.answer).size();
    answer("61 " + hexOf({static_cast<std::uint8_t>(m)}));
    answer(c.answer);
    const EngineRun r = run(c.mode, c.responseClass, "D4 4A 01 03 00");
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(delivered(r), hexOf(hex(c.delivered)));
    EXPECT_EQ(r.replyLength, static_cast<std::int32_t>(hex(c.delivered).size()));
    EXPECT_TRUE(untouchedFrom(r, hex(c.delivered).size())) << "bytes written past the reply";
}

// Under T=1 the reader answers whole; such an answer of more than two bytes is
// trimmed as the same bytes fetched with GET RESPONSE, in one transmit that may
// receive the engine's whole buffer.
class TrimTableUnderT1 : public WireTest, public ::testing::WithParamInterface<TrimCase> {};

TEST_P(TrimTableUnderT1, WholeAnswerIsTrimmedTheSame) {
    const TrimCase& c = GetParam();
    const T1Handle t1;
    answer(c.answer);
    const EngineRun r = run(c.mode, c.responseClass, "D4 4A 01 03 00", 4, T1Handle::kCard);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(delivered(r), hexOf(hex(c.delivered)));
    EXPECT_EQ(r.replyLength, static_cast<std::int32_t>(hex(c.delivered).size()));
    EXPECT_TRUE(untouchedFrom(r, hex(c.delivered).size())) << "bytes written past the reply";
    const Bytes frame = hex(c.mode == kModeDataExchange ? "FF 00 00 00 08 D4 40 01 D4 4A 01 03 00"
                                                        : "FF 00 00 00 05 D4 4A 01 03 00");
    expectWire({{hexOf(frame), 1000}}, SCARD_PROTOCOL_T1);
}

const std::string kNine = "D5 4B 01 01 A1 A2 A3 90 00";

const std::vector<TrimCase> kTrimRows{
    // Mode 8: short answers arrive whole but for the reader's status, whatever the class.
    TrimCase{"Direct2", kModeDirect, kClassCardData, "90 00", QVR_SW_SUCCESS, ""},
    TrimCase{"Direct5", kModeDirect, kClassCardData, "D5 45 00 90 00", QVR_SW_SUCCESS, "D5 45 00"},
    TrimCase{"Direct8Class11", kModeDirect, kClassCardData, "D5 03 32 01 06 07 90 00", QVR_SW_SUCCESS, "D5 03 32 01 06 07"},
    TrimCase{"Direct8ClassOther", kModeDirect, 0x0D, "D5 03 32 01 06 07 90 00", QVR_SW_SUCCESS, "D5 03 32 01 06 07"},
    TrimCase{"Direct8ReaderError", kModeDirect, kClassCardAnswer, "D5 03 32 01 63 00", 0x6300, "D5 03 32 01"},
    // Mode 8, nine bytes or more: the class decides how many leading bytes go.
    TrimCase{"Direct9Class11", kModeDirect, kClassCardData, kNine, QVR_SW_SUCCESS, "A1 A2 A3"},
    TrimCase{"Direct9Class12", kModeDirect, kClassCardAnswer, kNine, QVR_SW_SUCCESS, "01 A1 A2 A3"},
    TrimCase{"Direct9ClassFF", kModeDirect, kClassChipData, kNine, QVR_SW_SUCCESS, "01 01 A1 A2 A3"},
    TrimCase{"Direct9ClassOther", kModeDirect, 0x0D, kNine, 0, ""},
    TrimCase{"Direct9StatusIsLastTwo", kModeDirect, kClassChipData, "D5 4B 01 01 A1 A2 A3 6A 82", 0x6A82, "01 01 A1 A2 A3"},
    // Mode 9: card data with the card's status word, or the whole card answer.
    TrimCase{"Exchange8Class11", kModeDataExchange, kClassCardData, "D5 41 00 AA BB 6A 82 90 00", 0x6A82, "AA BB"},
    TrimCase{"Exchange8Class12", kModeDataExchange, kClassCardAnswer, "D5 41 00 AA BB 6A 82 90 00", QVR_SW_SUCCESS, "AA BB 6A 82"},
    TrimCase{"ExchangeExactly8Class11", kModeDataExchange, kClassCardData, "D5 41 00 AA 90 00 90 00", QVR_SW_SUCCESS, "AA"},
    TrimCase{"ExchangeExactly8Class12", kModeDataExchange, kClassCardAnswer, "D5 41 00 AA 90 00 90 00", QVR_SW_SUCCESS, "AA 90 00"},
    TrimCase{"ExchangeChipErrorClass11", kModeDataExchange, kClassCardData, "D5 41 01 90 00", 0x4101, "D5 41 01"},
    TrimCase{"ExchangeChipErrorClass12", kModeDataExchange, kClassCardAnswer, "D5 41 01 90 00", QVR_SW_SUCCESS, "D5 41 01"},
    TrimCase{"Exchange7Class11", kModeDataExchange, kClassCardData, "D5 41 00 90 00 90 00", QVR_SW_SUCCESS, "D5 41 00 90 00"},
    TrimCase{"Exchange2Class11", kModeDataExchange, kClassCardData, "90 00", 0x0000, ""},
    TrimCase{"Exchange3Class11", kModeDataExchange, kClassCardData, "41 90 00", 0x0041, "41"},
    TrimCase{"Exchange2Class12", kModeDataExchange, kClassCardAnswer, "63 00", 0x6300, ""},
    TrimCase{"ExchangeClassFF", kModeDataExchange, kClassChipData, "D5 41 00 AA BB 90 00 90 00", QVR_TRANSPORT_FAILED, ""},
    TrimCase{"ExchangeClass0", kModeDataExchange, 0, "90 00", QVR_TRANSPORT_FAILED, ""},
};

INSTANTIATE_TEST_SUITE_P(Rows, TrimTable, ::testing::ValuesIn(kTrimRows),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// Two bytes under T=1 are a direct answer, fewer a failed transmit (see DirectAnswers).
std::vector<TrimCase> wholeAnswerRows() {
    std::vector<TrimCase> rows;
    for (const TrimCase& row : kTrimRows)
        if (hex(row.answer).size() > 2) rows.push_back(row);
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Rows, TrimTableUnderT1, ::testing::ValuesIn(wholeAnswerRows()),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(WireTest, DirectAnswerShorterThanTwoAfterGetResponseIsTransportFailure) {
    answer("61 01");
    answer("90");
    const EngineRun r = run(kModeDirect, kClassCardData, "D4 02");
    EXPECT_EQ(r.status, QVR_TRANSPORT_FAILED);
    EXPECT_EQ(r.replyLength, 0);
}

TEST_F(WireTest, DataExchangeAnswerShorterThanTwoGivesZero) {
    answer("61 01");
    answer("90");
    const EngineRun r = run(kModeDataExchange, kClassCardData, "00 B0 00 00 10");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.replyLength, 0);
}

TEST_F(WireTest, LongestAnswerDeliversAtMost251Bytes) {
    Bytes longest(255, 0x5A);
    longest[253] = 0x90;
    longest[254] = 0x00;
    answer("61 FF");
    pcsc_double::replyWith(longest);
    const EngineRun r = run(kModeDirect, kClassChipData, "D4 60 01 01 10");
    EXPECT_EQ(r.status, QVR_SW_SUCCESS);
    EXPECT_EQ(r.replyLength, 251);
    EXPECT_TRUE(untouchedFrom(r, 251));
}

// ---- Framing and GET RESPONSE --------------------------------------------------------

TEST_F(WireTest, DirectTransmitThenGetResponseWithCapacityExactlyLe) {
    answer("61 05");
    answer("D5 45 00 90 00");
    const EngineRun r = run(kModeDirect, kClassCardData, "D4 44 01");
    expectWire({{"FF 00 00 00 03 D4 44 01", 4}, {"FF C0 00 00 05", 5}});
    EXPECT_EQ(r.status, QVR_SW_SUCCESS);
    EXPECT_EQ(delivered(r), "D5 45 00");
}

TEST_F(WireTest, DataExchangeFramesInDataExchangeForTargetOne) {
    answer("61 07");
    answer("D5 41 00 01 02 90 00");
    const EngineRun r = run(kModeDataExchange, kClassCardAnswer, "00 A4 04 00 00", 1000);
    expectWire({{"FF 00 00 00 08 D4 40 01 00 A4 04 00 00", 1000}, {"FF C0 00 00 07", 7}});
    EXPECT_EQ(r.status, QVR_SW_SUCCESS);
}

TEST_F(WireTest, LedBuzzerModeReportsOnlyWhetherTheTransmitWorked) {
    answer("90 03");
    EngineRun r = run(kModeLedBuzzer, kClassCardData, "01 01 01 01");
    expectWire({{"FF 00 40 50 04 01 01 01 01", 4}});
    EXPECT_EQ(r.status, QVR_SW_SUCCESS);
    EXPECT_EQ(r.replyLength, 0);
    pcsc_double::failTransmit(SCARD_E_NO_SMARTCARD);
    r = run(kModeLedBuzzer, kClassCardData, "01 01 01 01");
    EXPECT_EQ(r.status, QVR_LED_TRANSMIT_FAILED);
    EXPECT_EQ(r.replyLength, 0);
}

TEST_F(WireTest, LcCountsTheCommandAndInDataExchangeHeader) {
    answer("90 00");
    std::string text;
    for (int i = 0; i < 252; ++i) text += "AB";
    run(kModeDataExchange, kClassCardAnswer, text, 4);
    ASSERT_EQ(pcsc_double::transmits().size(), 1u);
    const Bytes& sent = pcsc_double::transmits()[0].sent;
    EXPECT_EQ(sent.size(), 260u);
    EXPECT_EQ(sent[4], 0xFF);
}

// ---- Direct answers and failures -----------------------------------------------------

struct DirectCase {
    const char* name;
    std::string firstReply;
    std::int32_t status;
    std::int32_t replyLength;
};
PRINTS_AS_ITS_NAME(DirectCase)

class DirectAnswers : public WireTest, public ::testing::WithParamInterface<DirectCase> {};

TEST_P(DirectAnswers, AreStatusWordsAndNothingIsDelivered) {
    answer(GetParam().firstReply);
    const EngineRun r = run(kModeDirect, kClassCardData, "D4 02");
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.replyLength, GetParam().replyLength);
    EXPECT_TRUE(untouchedFrom(r, 0));
    EXPECT_EQ(pcsc_double::transmits().size(), 1u) << "no GET RESPONSE after a direct answer";
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DirectAnswers,
    ::testing::Values(DirectCase{"ReaderError", "63 00", 0x6300, 0},
                      DirectCase{"FourBytes", "12 34 90 00", 0x1234, 2},
                      DirectCase{"ThreeBytesStartingWith61", "61 05 00", 0x6105, 1},
                      DirectCase{"OneByte", "90", QVR_TRANSPORT_FAILED, 0},
                      DirectCase{"Empty", "", QVR_TRANSPORT_FAILED, 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(WireTest, FirstReplyLongerThanCapacityIsTransportFailure) {
    answer("D5 03 32 01 06 07 90 00");
    const EngineRun r = run(kModeDirect, kClassCardAnswer, "D4 02", 4);
    EXPECT_EQ(r.status, QVR_TRANSPORT_FAILED);
    EXPECT_EQ(r.replyLength, 0);
}

TEST_F(WireTest, FailedGetResponseIsTransportFailure) {
    answer("61 08");
    pcsc_double::failTransmit(SCARD_E_COMM_DATA_LOST);
    const EngineRun r = run(kModeDataExchange, kClassCardData, "00 B0 00 00 04");
    EXPECT_EQ(r.status, QVR_TRANSPORT_FAILED);
    EXPECT_EQ(r.replyLength, 0);
    EXPECT_TRUE(untouchedFrom(r, 0));
}

TEST_F(WireTest, GetResponseLongerThanLeFails) {
    answer("61 02");
    answer("D5 45 00 90 00");
    const EngineRun r = run(kModeDirect, kClassCardData, "D4 44 01");
    EXPECT_EQ(r.status, QVR_TRANSPORT_FAILED);
}

// ---- Refusals before anything is sent ------------------------------------------------

TEST_F(WireTest, NoCardHandleSendsNothingAndKeepsReplyLength) {
    const EngineRun r = run(kModeDirect, kClassCardData, "D4 02", 4, 0, 1234);
    EXPECT_EQ(r.status, QVR_NOT_SENT);
    EXPECT_EQ(r.replyLength, 1234);
    expectNothingSent();
}

TEST_F(WireTest, UnknownModeSendsNothingAndClearsReplyLength) {
    for (int modeValue : {0, 1, 3, 7, 10, 255}) {
        const auto mode = static_cast<std::uint8_t>(modeValue);
        const EngineRun r = run(mode, kClassCardData, "D4 02", 4, 0x1A2B, 55);
        EXPECT_EQ(r.status, QVR_NOT_SENT) << int(mode);
        EXPECT_EQ(r.replyLength, 0) << int(mode);
    }
    expectNothingSent();
}

struct BoundsCase {
    const char* name;
    std::uint8_t mode;
    std::int32_t length;
    bool nullCommand;
    std::int32_t capacity;
};
PRINTS_AS_ITS_NAME(BoundsCase)

class HostileArguments : public WireTest, public ::testing::WithParamInterface<BoundsCase> {};

TEST_P(HostileArguments, AreRefusedWithoutSending) {
    const BoundsCase& c = GetParam();
    std::array<std::uint8_t, 300> command{};
    std::array<std::uint8_t, 300> destination{};
    destination.fill(kUntouched);
    std::int32_t replyLength = 99;
    const ReaderPart reader = readerWithCard(0x1A2B);
    EXPECT_EQ(qvr::Transceive(destination.data(), c.capacity, reader, c.mode, 11,
                              c.nullCommand ? nullptr : command.data(), c.length, &replyLength),
              QVR_NOT_SENT);
    EXPECT_EQ(replyLength, 0);
    expectNothingSent();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileArguments,
    ::testing::Values(BoundsCase{"NegativeLength", 8, -1, false, 4},
                      BoundsCase{"MinLength", 8, INT32_MIN, false, 4},
                      BoundsCase{"DirectOver255", 8, 256, false, 4},
                      BoundsCase{"LedOver255", 2, 256, false, 4},
                      BoundsCase{"ExchangeOver252", 9, 253, false, 4},
                      BoundsCase{"MaxLength", 9, INT32_MAX, false, 4},
                      BoundsCase{"NullCommand", 8, 2, true, 4},
                      BoundsCase{"NegativeCapacity", 8, 2, false, -1}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(WireTest, NullDestinationOrReplyLengthSendsNothing) {
    const Bytes command = hex("D4 02");
    std::array<std::uint8_t, 8> destination{};
    std::int32_t replyLength = 42;
    const ReaderPart reader = readerWithCard(0x1A2B);
    EXPECT_EQ(qvr::Transceive(nullptr, 4, reader, kModeDirect, kClassCardAnswer, command.data(), 2, &replyLength), QVR_NOT_SENT);
    EXPECT_EQ(replyLength, 42);
    EXPECT_EQ(qvr::Transceive(destination.data(), 4, reader, kModeDirect, kClassCardAnswer, command.data(), 2, nullptr), QVR_NOT_SENT);
    expectNothingSent();
}

TEST_F(WireTest, EmptyCommandMayBeNull) {
    answer("90 00");
    std::array<std::uint8_t, 8> destination{};
    std::int32_t replyLength = 42;
    const ReaderPart reader = readerWithCard(0x1A2B);
    EXPECT_EQ(qvr::Transceive(destination.data(), 4, reader, kModeDirect, kClassCardAnswer, nullptr, 0, &replyLength), QVR_SW_SUCCESS);
    expectWire({{"FF 00 00 00 00", 4}});
}

TEST_F(WireTest, CapacityAboveEngineBufferIsClamped) {
    answer("90 00");
    run(kModeDataExchange, kClassCardData, "00", 5000);
    expectWire({{"FF 00 00 00 04 D4 40 01 00", 1000}});
}

// ---- Raw pass-through ---------------------------------------------------------------

struct RawRun {
    std::int32_t result;
    std::array<std::uint8_t, 300> destination;
};

RawRun runRaw(const std::string& apdu, std::int32_t capacity, std::int32_t card = 0x1A2B) {
    RawRun r{};
    r.destination.fill(kUntouched);
    const Bytes bytes = hex(apdu);
    r.result = qvr::TransceiveRaw(bytes.data(), static_cast<std::int32_t>(bytes.size()), capacity,
                                  r.destination.data(), readerWithCard(card));
    return r;
}

TEST_F(WireTest, RawDeliversDirectReplyWithStatus) {
    answer("90 00");
    const RawRun r = runRaw("FF 00 48 00 00", 16);
    expectWire({{"FF 00 48 00 00", 16}});
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(hexPrefix(r.destination.data(), 3), "90 00 EE");
}

TEST_F(WireTest, RawFetchesWithClassZeroAndLePlusTwo) {
    answer("61 10");
    Bytes eighteen(18, 0x11);
    pcsc_double::replyWith(eighteen);
    const RawRun r = runRaw("00 B0 00 00 10", 100);
    expectWire({{"00 B0 00 00 10", 100}, {"00 C0 00 00 10", 18}});
    EXPECT_EQ(r.result, 18);
    EXPECT_EQ(r.destination[17], 0x11);
    EXPECT_EQ(r.destination[18], kUntouched);
}

TEST_F(WireTest, RawAnswerLargerThanCallerCapacityDeliversNothing) {
    answer("61 10");
    pcsc_double::replyWith(Bytes(18, 0x22));
    const RawRun r = runRaw("00 B0 00 00 10", 16);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.destination[0], kUntouched);
}

TEST_F(WireTest, RawLeZeroMeans256Bytes) {
    answer("61 00");
    pcsc_double::replyWith(Bytes(258, 0x33));
    std::vector<std::uint8_t> destination(1000, kUntouched);
    const Bytes apdu = hex("00 B0 00 00 00");
    const std::int32_t result =
        qvr::TransceiveRaw(apdu.data(), 5, 1000, destination.data(), readerWithCard(0x1A2B));
    expectWire({{"00 B0 00 00 00", 1000}, {"00 C0 00 00 00", 258}});
    EXPECT_EQ(result, 258);
    EXPECT_EQ(destination[258], kUntouched);
}

TEST_F(WireTest, RawFailuresGiveZero) {
    pcsc_double::failTransmit(SCARD_E_NO_SMARTCARD);
    EXPECT_EQ(runRaw("00 A4 04 00", 16).result, 0);
    answer("61 04");
    pcsc_double::failTransmit(SCARD_E_NO_SMARTCARD);
    EXPECT_EQ(runRaw("00 A4 04 00", 16).result, 0);
}

TEST_F(WireTest, RawRefusals) {
    EXPECT_EQ(runRaw("00 A4", 16, 0).result, QVR_NOT_SENT);
    EXPECT_EQ(runRaw("00 A4", -1).result, 0);
    std::array<std::uint8_t, 4> destination{};
    EXPECT_EQ(qvr::TransceiveRaw(nullptr, 3, 16, destination.data(), readerWithCard(0x1A2B)), 0);
    const Bytes apdu = hex("00 A4");
    EXPECT_EQ(qvr::TransceiveRaw(apdu.data(), -2, 16, destination.data(), readerWithCard(0x1A2B)), 0);
    EXPECT_EQ(qvr::TransceiveRaw(apdu.data(), 2, 16, nullptr, readerWithCard(0x1A2B)), 0);
    expectNothingSent();
}

// ---- A direct connection: the escape ------------------------------------------------

// The engine on a handle the table knows as direct, as a connect with an empty field
// leaves it.
class EscapeTest : public WireTest {
protected:
    void SetUp() override {
        WireTest::SetUp();
        qvr::rememberContext(0x1A2B, 0, qvr::Link::kDirect);
    }
    void TearDown() override {
        qvr::takeContext(0x1A2B);
        WireTest::TearDown();
    }
};

TEST_F(EscapeTest, LedBuzzerNeedsAWholeStatusWord) {
    answer("90 00");
    EXPECT_EQ(run(kModeLedBuzzer, kClassCardData, "01 01 01 01").status, QVR_SW_SUCCESS);
    answer("90");
    EXPECT_EQ(run(kModeLedBuzzer, kClassCardData, "01 01 01 01").status, QVR_LED_TRANSMIT_FAILED);
    pcsc_double::failNext(pcsc_double::Call::Control, SCARD_E_NOT_TRANSACTED);
    EXPECT_EQ(run(kModeLedBuzzer, kClassCardData, "01 01 01 01").status, QVR_LED_TRANSMIT_FAILED);
    EXPECT_EQ(pcsc_double::controls().size(), 3u);
    EXPECT_EQ(hexOf(pcsc_double::controls()[0].sent), "FF 00 40 50 04 01 01 01 01");
    expectNothingSent();
}

TEST_F(EscapeTest, RefusalsBeforeSendingStayAsTheyAre) {
    EXPECT_EQ(run(kModeDirect, kClassCardData, "D4 02", -1).status, QVR_NOT_SENT);
    EXPECT_EQ(run(3, kClassCardData, "D4 02").status, QVR_NOT_SENT);
    EXPECT_TRUE(pcsc_double::controls().empty());
}

TEST_F(EscapeTest, AnswerLongerThanTheEngineBufferIsATransportFailure) {
    pcsc_double::replyWith(Bytes(1001, 0x90));
    const EngineRun r = run(kModeDataExchange, kClassCardAnswer, "00 B0 00 00 00", 1000);
    EXPECT_EQ(r.status, QVR_TRANSPORT_FAILED);
    EXPECT_EQ(r.replyLength, 0);
    EXPECT_TRUE(untouchedFrom(r, 0));
}

// ---- A card connection under T=1 ----------------------------------------------------

class T1Test : public WireTest {
protected:
    const T1Handle t1;
};

TEST_F(T1Test, AnnouncedAnswerIsFetchedWithCapacityExactlyLe) {
    answer("61 05");
    answer("D5 45 00 90 00");
    const EngineRun r = run(kModeDirect, kClassCardData, "D4 44 01", 4, T1Handle::kCard);
    expectWire({{"FF 00 00 00 03 D4 44 01", 1000}, {"FF C0 00 00 05", 5}}, SCARD_PROTOCOL_T1);
    EXPECT_EQ(r.status, QVR_SW_SUCCESS);
    EXPECT_EQ(delivered(r), "D5 45 00");
}

TEST_F(T1Test, LedBuzzerKeepsItsCapacityAndReportsOnlyTheTransmit) {
    answer("90 03");
    EngineRun r = run(kModeLedBuzzer, kClassCardData, "01 01 01 01", 4, T1Handle::kCard);
    expectWire({{"FF 00 40 50 04 01 01 01 01", 4}}, SCARD_PROTOCOL_T1);
    EXPECT_EQ(r.status, QVR_SW_SUCCESS);
    EXPECT_EQ(r.replyLength, 0);
    pcsc_double::failTransmit(SCARD_E_NO_SMARTCARD);
    r = run(kModeLedBuzzer, kClassCardData, "01 01 01 01", 4, T1Handle::kCard);
    EXPECT_EQ(r.status, QVR_LED_TRANSMIT_FAILED);
}

TEST_F(T1Test, ShortRefusedOrOversizedFirstReplyIsATransportFailure) {
    answer("90");
    EXPECT_EQ(run(kModeDirect, kClassCardData, "D4 02", 4, T1Handle::kCard).status, QVR_TRANSPORT_FAILED);
    pcsc_double::failTransmit(SCARD_E_COMM_DATA_LOST);
    EXPECT_EQ(run(kModeDataExchange, kClassCardData, "00 B0 00 00 00", 1000, T1Handle::kCard).status,
              QVR_TRANSPORT_FAILED);
    pcsc_double::replyWith(Bytes(1001, 0x90));
    const EngineRun r = run(kModeDataExchange, kClassCardAnswer, "00 B0 00 00 00", 1000, T1Handle::kCard);
    EXPECT_EQ(r.status, QVR_TRANSPORT_FAILED);
    EXPECT_EQ(r.replyLength, 0);
    EXPECT_TRUE(untouchedFrom(r, 0));
    EXPECT_EQ(run(kModeDirect, kClassCardData, "D4 02", -1, T1Handle::kCard).status, QVR_NOT_SENT);
    EXPECT_EQ(pcsc_double::transmits().size(), 3u);
}

TEST_F(T1Test, RawPassThroughKeepsTheCallersCapacityAndItsGetResponse) {
    answer("04 A1 B2 C3 90 00");
    EXPECT_EQ(runRaw("FF CA 00 00 00", 16, T1Handle::kCard).result, 6);
    answer("61 00");
    answer("90 00");
    EXPECT_EQ(runRaw("00 B0 00 00 00", 300, T1Handle::kCard).result, 2);
    expectWire({{"FF CA 00 00 00", 16}, {"00 B0 00 00 00", 300}, {"00 C0 00 00 00", 258}}, SCARD_PROTOCOL_T1);
    answer("04 A1 B2 C3 90 00");
    EXPECT_EQ(runRaw("FF CA 00 00 00", 5, T1Handle::kCard).result, 0) << "longer than the capacity";
}

}  // namespace
