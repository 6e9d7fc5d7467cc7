// The same answer of the reader through every connection the library makes: a card
// connection under T=0 (the answer announced with 61 Le and fetched with GET
// RESPONSE), a card connection under T=1 (the answer whole, or announced all the
// same) and a direct connection (the answer whole, through the CCID escape). Every
// export must give its caller the same result, reply bytes, reply length and tag
// type from each of them.
#include <array>
#include <functional>
#include <tuple>

#include "reader_api.h"
#include "wire_test_support.h"

namespace {

using namespace wire;

constexpr SCARDHANDLE kCardHandle = 0x1A2B;
constexpr SCARDHANDLE kDirectHandle = 0x3C4D;
constexpr std::uint8_t kUntouched = 0xEE;

struct Outcome {
    std::int32_t result = 0;
    std::int32_t length = -9;
    std::uint8_t found = 0x77;
    std::array<std::uint8_t, 300> reply;
    Outcome() { reply.fill(kUntouched); }
};

const Bytes kApdu = hex("00 B0 00 00 10");

struct ExportCase {
    const char* name;
    std::function<std::int32_t(std::int32_t card, Outcome&)> call;
    std::string answer;  // the reader's answer, status word included
};
PRINTS_AS_ITS_NAME(ExportCase)

enum class Road { kT0, kT1, kDirect };

// How the reader's answer reaches the library.
struct Way {
    const char* name;
    Road road;
    bool announced;  // 61 Le first, then the answer to GET RESPONSE
};
PRINTS_AS_ITS_NAME(Way)

std::int32_t connectOver(Road road) {
    if (road == Road::kDirect) {
        // The field is empty: the CCID driver refuses the shared connect.
        pcsc_double::connectInMode(SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD);
        pcsc_double::connectInMode(SCARD_SHARE_DIRECT, SCARD_S_SUCCESS, kDirectHandle, 0);
    } else {
        pcsc_double::setConnectResult(kCardHandle, road == Road::kT1 ? SCARD_PROTOCOL_T1 : SCARD_PROTOCOL_T0);
    }
    return oConnectPCSCReader();
}

// One command went out on the way's road, and a second (GET RESPONSE for the
// announced length) when the answer was announced.
void expectTraffic(const Way& way, std::size_t answerLength) {
    const auto& sent = pcsc_double::transmits();
    if (way.road == Road::kDirect) {
        EXPECT_TRUE(sent.empty());
        ASSERT_EQ(pcsc_double::controls().size(), 1u);
        EXPECT_EQ(pcsc_double::controls()[0].capacity, 1000u) << "the whole answer fits";
        return;
    }
    ASSERT_EQ(sent.size(), way.announced ? 2u : 1u) << "the answer was fetched";
    for (const auto& transmit : sent)
        EXPECT_TRUE(way.road == Road::kT1 ? transmit.t1Pci : transmit.t0Pci) << "protocol information";
    if (way.road == Road::kT1) {
        EXPECT_EQ(sent[0].capacity, 1000u) << "the whole answer fits";
    }
    if (way.announced) {
        EXPECT_EQ(sent[1].sent.back(), answerLength) << "GET RESPONSE for Le";
    }
}

Outcome callOver(const Way& way, const ExportCase& c, const std::string& readerAnswer) {
    pcsc_double::reset();
    const std::int32_t card = connectOver(way.road);
    const Bytes bytes = hex(readerAnswer);
    if (way.announced) answer("61 " + hexOf({static_cast<std::uint8_t>(bytes.size())}));
    pcsc_double::replyWith(bytes);
    Outcome outcome;
    outcome.result = c.call(card, outcome);
    expectTraffic(way, bytes.size());
    oDisconnectPCSCReader(card);
    return outcome;
}

void expectSameOutcome(const Outcome& reference, const Outcome& other) {
    EXPECT_EQ(other.result, reference.result);
    EXPECT_EQ(other.length, reference.length);
    EXPECT_EQ(other.found, reference.found);
    EXPECT_EQ(hexOf(Bytes(other.reply.begin(), other.reply.end())),
              hexOf(Bytes(reference.reply.begin(), reference.reply.end())));
}

using Combination = std::tuple<ExportCase, Way>;

std::string combinationName(const ::testing::TestParamInfo<Combination>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

class EveryExport : public WireTest, public ::testing::WithParamInterface<Combination> {};

TEST_P(EveryExport, WholeOrAnnouncedAnswerEqualsTheAnswerFetchedUnderT0) {
    const auto& [c, way] = GetParam();
    const Outcome reference = callOver({"T0", Road::kT0, true}, c, c.answer);
    expectSameOutcome(reference, callOver(way, c, c.answer));
}

class EveryExportBare : public WireTest, public ::testing::WithParamInterface<Combination> {};

TEST_P(EveryExportBare, BareStatusWordEqualsTheDirectAnswerUnderT0) {
    const auto& [c, way] = GetParam();
    const Outcome reference = callOver({"T0", Road::kT0, false}, c, "6A 81");
    expectSameOutcome(reference, callOver(way, c, "6A 81"));
}

std::string repeated(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

const std::string kFelicaPoll = "D5 4B 01 01 14 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8 AA BB 90 00";
const std::string kTypeBPoll = "D5 4B 01 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00 90 00";
const std::string kAutoPoll = "D5 61 01 23 0F 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00 90 00";

const std::vector<ExportCase> kExports{
    ExportCase{"FirmwareVer", [](std::int32_t k, Outcome& o) { return oFirmwareVer(k, o.reply.data(), &o.length); },
               "D5 03 32 01 06 07 90 00"},
    ExportCase{"DeSelectTag", [](std::int32_t k, Outcome& o) { return oDeSelectTag(k, o.reply.data(), &o.length); },
               "D5 45 01 90 00"},
    ExportCase{"TurnOffAntennaPower",
               [](std::int32_t k, Outcome& o) { return oTurnOffAntennaPower(k, o.reply.data(), &o.length); },
               "D5 33 90 00"},
    ExportCase{"ConfigureReader",
               [](std::int32_t k, Outcome& o) { return oConfigureReader(k, o.reply.data(), &o.length); },
               "D5 33 90 00"},
    ExportCase{"SetRetryTimeToOne",
               [](std::int32_t k, Outcome& o) { return oSetRetryTimeToOne(k, o.reply.data(), &o.length); },
               "D5 33 63 00"},
    ExportCase{"ChangeBaudRate",
               [](std::int32_t k, Outcome& o) { return oChangeBaudRate(k, o.reply.data(), &o.length, 1); },
               "D5 4F 00 90 00"},
    ExportCase{"PollTypeB",
               [](std::int32_t k, Outcome& o) { return oPollISO14443_TypeBTag(k, o.reply.data(), &o.length); },
               kTypeBPoll},
    ExportCase{"PollTypeBNoTarget",
               [](std::int32_t k, Outcome& o) { return oPollISO14443_TypeBTag(k, o.reply.data(), &o.length); },
               "D5 4B 00 90 00"},
    ExportCase{"PollFeliCa",
               [](std::int32_t k, Outcome& o) { return oPollISO18092_TypeCTag(k, o.reply.data(), &o.length); },
               kFelicaPoll},
    ExportCase{"PollFeliCaNoTarget",
               [](std::int32_t k, Outcome& o) { return oPollISO18092_TypeCTag(k, o.reply.data(), &o.length); },
               "D5 4B 00 90 00"},
    ExportCase{"PollingTags",
               [](std::int32_t k, Outcome& o) { return oPollingTags(k, o.reply.data(), &o.length, &o.found, "01"); },
               kAutoPoll},
    ExportCase{"PollingTagsNothing",
               [](std::int32_t k, Outcome& o) { return oPollingTags(k, o.reply.data(), &o.length, &o.found, "01"); },
               "D5 61 00 90 00"},
    ExportCase{"PollThisTag",
               [](std::int32_t k, Outcome& o) {
                   return oPollThisTag(k, o.reply.data(), &o.length, "23", &o.found, "02");
               },
               kAutoPoll},
    ExportCase{"SendToRaw",
               [](std::int32_t k, Outcome& o) {
                   return oSendTo(k, QVR_EXCHANGE_RAW, kApdu.data(), 5, o.reply.data(), 1000, &o.length);
               },
               "01 02 03 04 90 00"},
    ExportCase{"SendToCardData",
               [](std::int32_t k, Outcome& o) {
                   return oSendTo(k, QVR_EXCHANGE_CARD_DATA, kApdu.data(), 5, o.reply.data(), 1000, &o.length);
               },
               "D5 41 00 AA BB 6A 82 90 00"},
    ExportCase{"SendToCardDataChipError",
               [](std::int32_t k, Outcome& o) {
                   return oSendTo(k, QVR_EXCHANGE_CARD_DATA, kApdu.data(), 5, o.reply.data(), 1000, &o.length);
               },
               "D5 41 01 90 00"},
    ExportCase{"SendToCardAnswer",
               [](std::int32_t k, Outcome& o) {
                   return oSendTo(k, QVR_EXCHANGE_CARD_ANSWER, kApdu.data(), 5, o.reply.data(), 1000, &o.length);
               },
               "D5 41 00 AA BB 6A 82 90 00"},
    ExportCase{"SendToCardAnswerThreeBytes",
               [](std::int32_t k, Outcome& o) {
                   return oSendTo(k, QVR_EXCHANGE_CARD_DATA, kApdu.data(), 5, o.reply.data(), 1000, &o.length);
               },
               "41 90 00"},
    ExportCase{"RequestResponseTypeB",
               [](std::int32_t k, Outcome& o) { return oRequestResponseTypeB(k, o.reply.data(), &o.length); },
               "D5 41 00 " + repeated("5A ", 95) + "90 00 90 00"},
    ExportCase{"RequestResponseTypeC",
               [](std::int32_t k, Outcome& o) {
                   return oRequestResponseTypeC(k, "0102030405060708", o.reply.data(), &o.length);
               },
               "D5 41 00 0B 05 01 02 03 04 05 06 07 08 03 90 00"},
};

INSTANTIATE_TEST_SUITE_P(Exports, EveryExport,
                         ::testing::Combine(::testing::ValuesIn(kExports),
                                            ::testing::Values(Way{"T1Whole", Road::kT1, false},
                                                              Way{"T1Announced", Road::kT1, true},
                                                              Way{"Direct", Road::kDirect, false})),
                         combinationName);

INSTANTIATE_TEST_SUITE_P(Exports, EveryExportBare,
                         ::testing::Combine(::testing::ValuesIn(kExports),
                                            ::testing::Values(Way{"T1", Road::kT1, false},
                                                              Way{"Direct", Road::kDirect, false})),
                         combinationName);

}  // namespace
