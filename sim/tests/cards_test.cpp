// The virtual cards on their own: what each answers to activation and to frames.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_cards.h"

namespace vreader::testing {
namespace {

const Activation kTypeA{Modulation::TypeA106, {}, false};
const Activation kTypeAIso4{Modulation::TypeA106, {}, true};
const Activation kTypeB{Modulation::TypeB106, H("00"), false};
const Activation kFeliCa212{Modulation::FeliCa212, H("00 FF FF 01 00"), false};
const Activation kFeliCa424{Modulation::FeliCa424, H("00 FF FF 00 00"), false};

TEST(TypeBCard, TargetDataIsAtqbThenAttribAnswer) {
    const auto card = makeTypeB();
    EXPECT_EQ(card->targetData(kTypeB), H("50 E8 25 3E EC 00 00 00 11 00 81 85 01 00"));
    EXPECT_EQ(card->targetData(kTypeA), std::nullopt);
    EXPECT_EQ(card->targetData(kFeliCa212), std::nullopt);
}

TEST(TypeBCard, AnswersOnlyItsOwnApplicationFamily) {
    const auto card = makeTypeB();  // AFI 00: answers only a call to every family
    EXPECT_TRUE(card->targetData({Modulation::TypeB106, H("00"), false}));
    EXPECT_TRUE(card->targetData({Modulation::TypeB106, {}, false}));
    EXPECT_FALSE(card->targetData({Modulation::TypeB106, H("10"), false}));
}

TEST(TypeBCard, ApplicationAnswersKnownApdusAndDefaultStatusOtherwise) {
    const auto card = makeTypeB();
    EXPECT_EQ(card->answer(H("00 A4 04 00 02 3F 00")), H("6F 00 90 00"));
    EXPECT_EQ(card->answer(H("00 B0 00 00 00")), H("6A 82"));
    EXPECT_EQ(card->answer(H("00 B0 00 00 01")), H("6D 00"));
}

TEST(TypeACard, Iso14443_4CardReportsAtsAndPassesApdus) {
    const auto card = makeTypeA();
    EXPECT_EQ(card->targetData(kTypeA), H("00 04 20 04 08 12 34 56 05 78 80 70 02"));
    EXPECT_EQ(card->targetData(kTypeAIso4), card->targetData(kTypeA));
    EXPECT_EQ(card->targetData({Modulation::TypeA106, H("08 12 34 56"), false}),
              card->targetData(kTypeA));
    EXPECT_EQ(card->targetData({Modulation::TypeA106, H("08 12 34 57"), false}), std::nullopt);
    EXPECT_EQ(card->answer(H("00 A4 04 00 00")), H("90 00"));
    EXPECT_EQ(card->answer(H("00 CA 00 00 00")), H("6A 82"));
}

// ISO/IEC 14443-3 cascade levels: 88 before every level but the last.
TEST(TypeACard, CascadedUidHasTheCascadeTagBeforeEachLevelButTheLast) {
    EXPECT_EQ(cascadedUid(H("08 12 34 56")), H("08 12 34 56"));
    EXPECT_EQ(cascadedUid(H("04 A1 B2 C3 D4 E5 F6")), H("88 04 A1 B2 C3 D4 E5 F6"));
    EXPECT_EQ(cascadedUid(H("01 02 03 04 05 06 07 08 09 0A")),
              H("88 01 02 03 88 04 05 06 07 08 09 0A"));
}

TEST(TypeACard, AtsGivesHistoricalBytesAndFrameWaitingTime) {
    const TypeACard card("a", {}, TypeAIdentity{H("08 12 34 56"), H("00 04"), 0x20,
                                                H("0B 78 80 A1 02 4A 43 4F 50 33 31")},
                         ResponseTable{});
    EXPECT_EQ(card.historicalBytes(), H("4A 43 4F 50 33 31"));
    EXPECT_EQ(card.frameWaitingInteger(), 0x0A);
}

// ISO/IEC 14443-4 7.1.1: blocks with a NAD the card does not support, or another
// CID, are ignored; S(DESELECT) halts the card.
TEST(TypeBCard, IsoDepBlocksOnlyAsTheCardSupportsThem) {
    const auto card = makeTypeB();  // protocol info 85: CID yes, NAD no
    ASSERT_TRUE(card->activate(kTypeB));
    EXPECT_EQ(card->answerRaw(H("03 00 B0 00 00 00"), Modulation::TypeB106), H("03 6A 82"));
    EXPECT_EQ(card->answerRaw(H("0A 00 00 B0 00 00 00"), Modulation::TypeB106), H("0A 00 6A 82"));
    EXPECT_EQ(card->answerRaw(H("0A 02 00 B0 00 00 00"), Modulation::TypeB106), std::nullopt);
    EXPECT_EQ(card->answerRaw(H("06 00 00 B0 00 00 00"), Modulation::TypeB106), std::nullopt);
    EXPECT_EQ(card->answerRaw(H("C2"), Modulation::TypeB106), H("C2"));
    EXPECT_EQ(card->state(), CardState::Idle);
    EXPECT_EQ(card->answerRaw(H("02 00 B0 00 00 00"), Modulation::TypeB106), std::nullopt);
}

// ISO/IEC 14443-4 7.5.4.2: an R-block with the card's block number gets the last
// block again, an R(NAK) with the other number an R(ACK) with the card's. The number
// starts at 1 on each activation and follows every I-block, the chip's own too.
TEST(TypeBCard, RBlocksFollowTheCardsBlockNumber) {
    // Each step: a raw block, "chip" (the chip carries 00 B0 00 00 00) or "activate";
    // then the answer, empty when the card ignores the block.
    const std::vector<std::vector<std::pair<std::string, std::string>>> cases = {
        {{"B2", "A3"}, {"BA 00", "AB 00"}, {"BA 01", "AB 01"}, {"BA 02", ""}, {"B3", ""}, {"B2 00", ""}},
        {{"02 00 B0 00 00 00", "02 6A 82"}, {"B2", "02 6A 82"}, {"A2", "02 6A 82"}, {"B3", "A2"}, {"A3", ""}},
        {{"chip", "6A 82"}, {"B2", "02 6A 82"}, {"chip", "6A 82"}, {"B2", "A3"}, {"activate", ""}, {"B3", ""}},
    };
    for (const auto& steps : cases) {
        const auto card = makeTypeB();
        ASSERT_TRUE(card->activate(kTypeB));
        for (const auto& [sent, expected] : steps) {
            if (sent == "activate") {
                ASSERT_TRUE(card->activate(kTypeB));
                continue;
            }
            const auto got = sent == "chip" ? card->exchangeApdu(H("00 B0 00 00 00"))
                                            : card->answerRaw(H(sent), Modulation::TypeB106);
            EXPECT_EQ(got ? formatHex(*got) : "", expected) << "after " << sent;
        }
    }
}

TEST(Type2Tag, IsTypeAWithoutIso14443_4) {
    const auto tag = makeType2();
    EXPECT_EQ(tag->targetData(kTypeA), H("00 44 00 07 04 A1 B2 C3 D4 E5 F6"));
    EXPECT_EQ(tag->targetData(kTypeAIso4), std::nullopt);
    EXPECT_EQ(tag->answer(H("00 A4 04 00 00")), std::nullopt);
}

TEST(Type2Tag, ReadAnswersFourPagesAndRollsOverAtTheEnd) {
    const auto tag = makeType2();
    EXPECT_EQ(tag->answer(H("30 00")), H("00 01 02 03 10 11 12 13 20 21 22 23 30 31 32 33"));
    EXPECT_EQ(tag->answer(H("30 06")), H("60 61 62 63 70 71 72 73 00 01 02 03 10 11 12 13"));
    EXPECT_EQ(tag->answer(H("30 08")), std::nullopt);
    EXPECT_EQ(tag->answer(H("30")), std::nullopt);
}

TEST(Type2Tag, WriteStoresOnePage) {
    const auto tag = makeType2();
    EXPECT_EQ(tag->answer(H("A2 04 DE AD BE EF")), H("0A"));  // 4-bit ACK
    EXPECT_EQ(tag->answer(H("30 04")), H("DE AD BE EF 50 51 52 53 60 61 62 63 70 71 72 73"));
    // Page 2 byte 2 is 22: its lock bit 5 locks page 5 (NAK 0).
    EXPECT_EQ(tag->answer(H("A2 05 DE AD BE EF")), H("00"));
    EXPECT_EQ(tag->answer(H("A2 08 00 00 00 00")), std::nullopt);
}

TEST(FeliCaCard, PollingAnswerCountsItsOwnLengthByte) {
    const auto card = makeFelica();
    EXPECT_EQ(card->targetData(kFeliCa212),
              H("14 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8 AA BB"));
    EXPECT_EQ(card->targetData(kFeliCa424),
              H("12 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8"));
}

TEST(FeliCaCard, PollingMatchesSystemCodeWithWildcardBytes) {
    const auto card = makeFelica();
    EXPECT_TRUE(card->pollingResponse(H("00 AA BB 00 00")));
    EXPECT_TRUE(card->pollingResponse(H("00 AA FF 00 00")));
    EXPECT_FALSE(card->pollingResponse(H("00 12 34 00 00")));
}

TEST(FeliCaCard, AnswersOnlyAtItsBitRates) {
    const auto slowOnly = makeFelica("f", true, false);
    EXPECT_TRUE(slowOnly->targetData(kFeliCa212));
    EXPECT_FALSE(slowOnly->targetData(kFeliCa424));
    EXPECT_FALSE(slowOnly->targetData(kTypeA));
}

TEST(FeliCaCard, RequestResponseReportsMode) {
    const auto card = makeFelica();
    EXPECT_EQ(card->answer(H("0A 04 01 02 03 04 05 06 07 08")),
              H("0B 05 01 02 03 04 05 06 07 08 02"));
    // Another card's IDm, or a length byte that lies: no answer.
    EXPECT_EQ(card->answer(H("0A 04 01 02 03 04 05 06 07 09")), std::nullopt);
    EXPECT_EQ(card->answer(H("0B 04 01 02 03 04 05 06 07 08")), std::nullopt);
    EXPECT_EQ(card->answer(H("06 00 FF FF 00 00")),
              H("12 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8"));
    EXPECT_EQ(card->answer(H("06 00 FF FF 01 00")),
              H("14 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8 AA BB"));
}

TEST(HexBytes, ParsesSpacedAndPackedHexAndRefusesTheRest) {
    EXPECT_EQ(parseHex("d5 03:32"), (Bytes{0xD5, 0x03, 0x32}));
    EXPECT_EQ(parseHex(""), Bytes{});
    EXPECT_EQ(parseHex("D5 0"), std::nullopt);
    EXPECT_EQ(parseHex("D 50"), std::nullopt);  // a separator inside a byte
    EXPECT_EQ(parseHex("G0"), std::nullopt);
    EXPECT_EQ(formatHex(Bytes{0x0A, 0xFF}), "0A FF");
}

}  // namespace
}  // namespace vreader::testing
