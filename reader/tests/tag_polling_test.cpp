// Polling exports: InListPassiveTarget with its reply-length test and two different
// no-target codes, InAutoPoll with its tag-type-found rule.
#include <array>

#include "reader_api.h"
#include "wire_test_support.h"

namespace {

using namespace wire;

constexpr std::int32_t kCard = 0x1A2B;

void chipAnswers(const std::string& answerWithStatus) {
    const Bytes bytes = hex(answerWithStatus);
    answer("61 " + hexOf({static_cast<std::uint8_t>(bytes.size())}));
    pcsc_double::replyWith(bytes);
}

std::string getResponseFor(const std::string& answerWithStatus) {
    return "FF C0 00 00 " + hexOf({static_cast<std::uint8_t>(hex(answerWithStatus).size())});
}

struct PollReply {
    std::int32_t status;
    std::int32_t length;
    std::array<std::uint8_t, 251> bytes;
};

// ---- InListPassiveTarget ----------------------------------------------------------

const std::string kTypeBTarget =
    "D5 4B 01 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00 90 00";
const std::string kFeliCaTarget =
    "D5 4B 01 01 14 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8 AA BB 90 00";

TEST_F(WireTest, TypeBPollSendsInListPassiveTargetAndDeliversFromTheAtqb) {
    chipAnswers(kTypeBTarget);
    PollReply r{};
    r.status = oPollISO14443_TypeBTag(kCard, r.bytes.data(), &r.length);
    expectWire({{"FF 00 00 00 05 D4 4A 01 03 00", 4}, {getResponseFor(kTypeBTarget), 20}});
    EXPECT_EQ(r.status, QVR_SW_SUCCESS);
    EXPECT_EQ(r.length, 14);
    EXPECT_EQ(hexPrefix(r.bytes.data(), 14), "50 E8 25 3E EC 00 00 00 11 00 81 85 01 00");
}

TEST_F(WireTest, FeliCaPollSendsPollingRequestAndDeliversFromTheTargetNumber) {
    chipAnswers(kFeliCaTarget);
    PollReply r{};
    r.status = oPollISO18092_TypeCTag(kCard, r.bytes.data(), &r.length);
    expectWire({{"FF 00 00 00 09 D4 4A 01 01 00 FF FF 01 00", 4}, {getResponseFor(kFeliCaTarget), 26}});
    EXPECT_EQ(r.status, QVR_SW_SUCCESS);
    EXPECT_EQ(r.length, 21);
    EXPECT_EQ(hexPrefix(r.bytes.data() + 3, 8), "01 02 03 04 05 06 07 08") << "IDm at bytes 3 to 10";
}

struct NoTargetCase {
    const char* name;
    std::int32_t (*poll)(std::int32_t, std::uint8_t*, std::int32_t*);
    std::int32_t noTarget;
};
PRINTS_AS_ITS_NAME(NoTargetCase)

class ListPassiveNoTarget : public WireTest, public ::testing::WithParamInterface<NoTargetCase> {};

TEST_P(ListPassiveNoTarget, ReportsItsOwnNoTargetCode) {
    const auto& c = GetParam();
    PollReply r{};
    chipAnswers("D5 4B 00 90 00");
    EXPECT_EQ(c.poll(kCard, r.bytes.data(), &r.length), c.noTarget) << "reader said 90 00";
    EXPECT_EQ(r.length, 3);
    EXPECT_EQ(hexPrefix(r.bytes.data(), 3), "D5 4B 00");

    // A reply of exactly five bytes is not enough: the test is strictly greater.
    chipAnswers("D5 4B 01 01 02 90 00");
    EXPECT_EQ(c.poll(kCard, r.bytes.data(), &r.length), c.noTarget);
    EXPECT_EQ(r.length, 5);
    chipAnswers("D5 4B 01 01 02 03 90 00");
    EXPECT_EQ(c.poll(kCard, r.bytes.data(), &r.length), QVR_SW_SUCCESS);

    // Transport failures leave a short length and so read as no target.
    pcsc_double::failTransmit(SCARD_E_NO_SMARTCARD);
    EXPECT_EQ(c.poll(kCard, r.bytes.data(), &r.length), c.noTarget);
    answer("63 00");
    EXPECT_EQ(c.poll(kCard, r.bytes.data(), &r.length), c.noTarget);

    // Without a card handle the caller's leftover length decides.
    r.length = 6;
    EXPECT_EQ(c.poll(0, r.bytes.data(), &r.length), QVR_NOT_SENT);
    r.length = 5;
    EXPECT_EQ(c.poll(0, r.bytes.data(), &r.length), c.noTarget);
    r.length = -100;
    EXPECT_EQ(c.poll(0, r.bytes.data(), &r.length), c.noTarget) << "signed comparison";

    // A null reply length skips the test.
    EXPECT_EQ(c.poll(kCard, r.bytes.data(), nullptr), QVR_NOT_SENT);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, ListPassiveNoTarget,
    ::testing::Values(NoTargetCase{"TypeB", oPollISO14443_TypeBTag, QVR_POLL_NO_TYPE_B_TARGET},
                      NoTargetCase{"FeliCa", oPollISO18092_TypeCTag, QVR_POLL_NO_FELICA_TARGET}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// ---- InAutoPoll -----------------------------------------------------------------------

TEST_F(WireTest, PollingTagsSendsTheFiveTypesWithTheCallersPeriod) {
    chipAnswers("D5 61 00 90 00");
    PollReply r{};
    std::uint8_t found = 0x77;
    r.status = oPollingTags(kCard, r.bytes.data(), &r.length, &found, "01");
    expectWire({{"FF 00 00 00 09 D4 60 01 01 23 11 12 20 10", 4}, {"FF C0 00 00 05", 5}});
    EXPECT_EQ(r.status, QVR_SW_SUCCESS);
    EXPECT_EQ(r.length, 3);
    EXPECT_EQ(hexPrefix(r.bytes.data(), 3), "D5 61 00");
    EXPECT_EQ(found, 0x00) << "no target answered";
}

TEST_F(WireTest, PollThisTagPutsTheTypeAfterThePeriod) {
    chipAnswers("D5 61 00 90 00");
    PollReply r{};
    std::uint8_t found = 0x77;
    EXPECT_EQ(oPollThisTag(kCard, r.bytes.data(), &r.length, "23", &found, "02"), QVR_SW_SUCCESS);
    expectWire({{"FF 00 00 00 05 D4 60 01 02 23", 4}, {"FF C0 00 00 05", 5}});
}

TEST_F(WireTest, PeriodAndTypeTextAcceptLowerCase) {
    chipAnswers("D5 61 00 90 00");
    PollReply r{};
    std::uint8_t found = 0;
    EXPECT_EQ(oPollThisTag(kCard, r.bytes.data(), &r.length, "1a", &found, "0f"), QVR_SW_SUCCESS);
    expectWire({{"FF 00 00 00 05 D4 60 01 0F 1A", 4}, {"FF C0 00 00 05", 5}});
}

struct FoundTypeCase {
    const char* name;
    std::string chipAnswer;
    std::int32_t length;
    std::uint8_t found;  // 0x77: left as it was
};
PRINTS_AS_ITS_NAME(FoundTypeCase)

class AutoPollFoundType : public WireTest, public ::testing::WithParamInterface<FoundTypeCase> {};

TEST_P(AutoPollFoundType, FollowsTheLengthRule) {
    const auto& c = GetParam();
    PollReply r{};
    for (bool thisTag : {false, true}) {
        chipAnswers(c.chipAnswer);
        std::uint8_t found = 0x77;
        const std::int32_t status =
            thisTag ? oPollThisTag(kCard, r.bytes.data(), &r.length, "10", &found, "01")
                    : oPollingTags(kCard, r.bytes.data(), &r.length, &found, "01");
        EXPECT_EQ(status, QVR_SW_SUCCESS);
        EXPECT_EQ(r.length, c.length);
        EXPECT_EQ(found, c.found);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, AutoPollFoundType,
    ::testing::Values(
        FoundTypeCase{"Empty3", "D5 61 00 90 00", 3, 0x00},
        FoundTypeCase{"Length4KeepsType", "D5 61 01 23 90 00", 4, 0x77},
        FoundTypeCase{"Length2KeepsType", "D5 61 90 00", 2, 0x77},
        FoundTypeCase{"Length0KeepsType", "90 00", 0, 0x77},
        FoundTypeCase{"Length5TakesByte1", "D5 61 01 11 02 90 00", 5, 0x61},  // short: D5 61 kept, byte 1 is 61,
        FoundTypeCase{"Length6TakesByte1", "D5 61 01 11 02 03 90 00", 6, 0x61},
        // Long answers lose D5 61: byte 1 is the first target's type code.
        FoundTypeCase{"TypeBCard", "D5 61 01 23 0F 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00 90 00", 18, 0x23},
        FoundTypeCase{"FeliCaCard",
                      "D5 61 01 11 14 01 14 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8 90 00", 22, 0x11}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(WireTest, AutoPollFailureLeavesTheFoundTypeAlone) {
    PollReply r{};
    std::uint8_t found = 0x77;
    pcsc_double::failTransmit(SCARD_E_NO_SMARTCARD);
    EXPECT_EQ(oPollingTags(kCard, r.bytes.data(), &r.length, &found, "01"), QVR_TRANSPORT_FAILED);
    answer("63 00");
    EXPECT_EQ(oPollingTags(kCard, r.bytes.data(), &r.length, &found, "01"), 0x6300);
    EXPECT_EQ(oPollingTags(0, r.bytes.data(), &r.length, &found, "01"), QVR_NOT_SENT);
    EXPECT_EQ(found, 0x77);
}

struct BadTextCase {
    const char* name;
    const char* period;
    const char* type;
};
PRINTS_AS_ITS_NAME(BadTextCase)

class AutoPollBadText : public WireTest, public ::testing::WithParamInterface<BadTextCase> {};

TEST_P(AutoPollBadText, SendsNothingAndGivesTheFallback) {
    const auto& c = GetParam();
    PollReply r{};
    r.length = 42;
    r.bytes.fill(0xEE);
    std::uint8_t found = 0x77;
    for (std::int32_t card : {kCard, 0}) {
        EXPECT_EQ(oPollThisTag(card, r.bytes.data(), &r.length, c.type, &found, c.period), QVR_FALLBACK_POLLING);
        if (c.type != nullptr && std::string(c.type) == "23") {
            EXPECT_EQ(oPollingTags(card, r.bytes.data(), &r.length, &found, c.period), QVR_FALLBACK_POLLING);
        }
    }
    expectNothingSent();
    EXPECT_EQ(r.length, 42);
    EXPECT_EQ(found, 0x77);
    EXPECT_EQ(r.bytes[0], 0xEE);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AutoPollBadText,
    ::testing::Values(BadTextCase{"PeriodNotHex", "0G", "23"}, BadTextCase{"PeriodNull", nullptr, "23"},
                      BadTextCase{"PeriodShort", "1", "23"}, BadTextCase{"TypeNotHex", "01", "x3"},
                      BadTextCase{"TypeNull", "01", nullptr}, BadTextCase{"TypeShort", "01", "2"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(WireTest, AutoPollWithoutFoundTypePointerSendsNothing) {
    PollReply r{};
    EXPECT_EQ(oPollingTags(kCard, r.bytes.data(), &r.length, nullptr, "01"), QVR_NOT_SENT);
    EXPECT_EQ(oPollThisTag(kCard, r.bytes.data(), &r.length, "10", nullptr, "01"), QVR_NOT_SENT);
    expectNothingSent();
}

}  // namespace
