// The PN532 as strict as the hardware: time passes for retries, polling periods and
// timeouts; cards fall back to idle; raw frames reach only a card that speaks them.
#include <gtest/gtest.h>

#include "chip_bench.h"

namespace vreader::testing {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

const Bytes kListTypeB = H("D4 4A 01 03 00");
const Bytes kListTypeA = H("D4 4A 01 00");
const Bytes kTypeBReadBinary = H("D4 40 01 00 B0 00 00 00");
const Bytes kOneActivationAttempt = H("D4 32 05 FF 01 00");
constexpr microseconds kDefaultRetryTimeout{51200};

class Pn532StrictTest : public ::testing::Test, protected ChipBench {
protected:
    std::string run(const std::string& frame) { return formatHex(chip.execute(H(frame))); }
    std::string run(const Bytes& frame) { return formatHex(chip.execute(frame)); }
};

// UM0701 RFConfiguration item 05: MxRtyPassiveActivation 0xFF (the chip's default)
// retries until a card answers.
TEST_F(Pn532StrictTest, PassiveActivationRetriesForEverUntilACardArrives) {
    clock.cardArrives(*typeB, std::chrono::seconds(3));
    EXPECT_EQ(run(kListTypeB).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(clock.waited, std::chrono::seconds(3));
}

TEST_F(Pn532StrictTest, EachPassiveActivationAttemptTakesItsTime) {
    run("D4 32 05 FF 01 02");  // three attempts
    EXPECT_EQ(run(kListTypeB), "D5 4B 00");
    EXPECT_EQ(clock.waited, 3 * kDefaultRetryTimeout);
}

// No virtual card is a Jewel or a DEP target: the chip answers after trying as often
// as its retry settings say (passive: activation attempts; active: 1 + MxRtyATR
// ATR_REQ, each waiting the ATR_RES timeout, 102.4 ms by default).
TEST_F(Pn532StrictTest, JewelAndDepPollsTakeTheirAttemptsAndFindNothing) {
    run("D4 32 05 02 01 02");
    EXPECT_EQ(run("D4 4A 01 04"), "D5 4B 00");
    EXPECT_EQ(clock.waited, 3 * kDefaultRetryTimeout);
    clock.waited = {};
    EXPECT_EQ(run("D4 56 00 00 00"), "D5 57 01");
    EXPECT_EQ(clock.waited, 3 * kDefaultRetryTimeout);
    clock.waited = {};
    EXPECT_EQ(run("D4 56 01 02 00"), "D5 57 01");
    EXPECT_EQ(clock.waited, 3 * microseconds(102400));
}

// InAutoPoll: PollNr rounds, each spending Period x 150 ms on every type.
TEST_F(Pn532StrictTest, AutoPollTakesPollNrTimesPeriodPerType) {
    EXPECT_EQ(run("D4 60 02 03 10 23"), "D5 61 00");
    EXPECT_EQ(clock.waited, milliseconds(2 * 3 * 150 * 2));
}

TEST_F(Pn532StrictTest, EndlessAutoPollWakesWhenACardArrives) {
    clock.cardArrives(*typeB, std::chrono::seconds(40));
    EXPECT_EQ(run("D4 60 FF 01 23").substr(0, 14), "D5 61 01 23 0F");
    EXPECT_EQ(clock.waited, std::chrono::seconds(40));
}

// The program is told to end while the chip would wait for ever: the chip ends its command.
TEST_F(Pn532StrictTest, EndlessWaitsEndWhenTheProgramStops) {
    clock.stopAt = std::chrono::seconds(40);
    EXPECT_EQ(run("D4 60 FF 01 23"), "D5 61 00");
    EXPECT_EQ(run("D4 32 05 FF FF FF"), "D5 33");
    EXPECT_EQ(run("D4 4A 01 03 00"), "D5 4B 00");
    EXPECT_LE(clock.waited, std::chrono::seconds(41));
}

TEST_F(Pn532StrictTest, ReaderTimeIsScaled) {
    chip.setTimeScale(0.01);
    EXPECT_EQ(run("D4 60 01 01 23"), "D5 61 00");
    EXPECT_EQ(clock.waited, microseconds(1500));
}

// A card slower than the retry timeout (item 02) leaves the chip with status 01
// after the timeout; a longer timeout lets its answer through.
TEST_F(Pn532StrictTest, SlowCardTimesOutAfterTheRetryTimeout) {
    const auto slow = makeType2("slow", milliseconds(60));
    field.insert(*slow);
    run(kOneActivationAttempt);
    ASSERT_EQ(run(kListTypeA).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(run("D4 40 01 30 00"), "D5 41 01");
    EXPECT_EQ(clock.waited, kDefaultRetryTimeout);
    EXPECT_EQ(run("D4 42 30 00"), "D5 43 01");
    EXPECT_EQ(clock.waited, 2 * kDefaultRetryTimeout);
    run("D4 32 02 00 0B 0B");  // 102.4 ms
    clock.waited = {};
    EXPECT_EQ(run("D4 40 01 30 00").substr(0, 8), "D5 41 00");
    EXPECT_EQ(clock.waited, milliseconds(60));
}

TEST_F(Pn532StrictTest, SilentCardLeavesTheChipWaitingItsTimeout) {
    field.insert(*type2);
    run(kOneActivationAttempt);
    ASSERT_EQ(run(kListTypeA).substr(0, 8), "D5 4B 01");
    clock.waited = {};
    EXPECT_EQ(run("D4 40 01 30 08"), "D5 41 01");  // past the last page
    EXPECT_EQ(clock.waited, kDefaultRetryTimeout);
}

// ISO/IEC 14443-3: without the field the card falls back to idle and answers no
// exchange until it is activated again.
TEST_F(Pn532StrictTest, FieldOffAndOnLeavesTheCardIdle) {
    field.insert(*typeB);
    ASSERT_EQ(run(kListTypeB).substr(0, 8), "D5 4B 01");
    run("D4 32 01 00");
    run("D4 32 01 01");
    EXPECT_EQ(run(kTypeBReadBinary), "D5 41 01");
}

// Raw frames: a Type 2 tag reads its pages; with the CRC left to the host, the host
// sends CRC_A and receives the tag's.
TEST_F(Pn532StrictTest, CommunicateThruReadsAType2TagRaw) {
    field.insert(*type2);
    run(kOneActivationAttempt);
    ASSERT_EQ(run(kListTypeA).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(run("D4 42 30 04"), "D5 43 00 40 41 42 43 50 51 52 53 60 61 62 63 70 71 72 73");
    run("D4 08 63 02 00 63 03 00");  // CRC off both ways
    const std::string answer = run("D4 42 30 00 02 A8");
    EXPECT_EQ(answer.size(), std::string("D5 43 00").size() + 18 * 3);
    EXPECT_EQ(run("D4 42 30 00 02 A9"), "D5 43 01");  // a wrong CRC goes unanswered
}

// A lone Type B card gives none of the raw probes of other protocols an answer
// (SR INITIATE/GET_UID, ASK CTx REQT/READ, iClass ACTALL/IDENTIFY, B' APGEN),
// whether it was deselected or is still active; ISO-DEP I-blocks it answers.
TEST_F(Pn532StrictTest, NoPhantomTargetsNextToALoneTypeBCard) {
    field.insert(*typeB);
    run(kOneActivationAttempt);
    ASSERT_EQ(run(kListTypeB).substr(0, 8), "D5 4B 01");
    const char* probes[] = {"D4 42 06 00", "D4 42 0B", "D4 42 10", "D4 42 C4", "D4 42 C5",
                            "D4 42 0A", "D4 42 0C", "D4 42 01 0B 3F 80", "D4 42 00 B0 00 00 00"};
    for (const char* probe : probes) EXPECT_EQ(run(probe), "D5 43 01") << probe;
    EXPECT_EQ(run("D4 42 02 00 B0 00 00 00"), "D5 43 00 02 6A 82");
    EXPECT_EQ(run("D4 44 00"), "D5 45 00");
    for (const char* probe : probes) EXPECT_EQ(run(probe), "D5 43 01") << probe;
    EXPECT_EQ(run("D4 42 02 00 B0 00 00 00"), "D5 43 01");
    // In Type A framing the Type B card hears nothing at all.
    run("D4 08 63 02 80 63 03 80");
    EXPECT_EQ(run("D4 42 26"), "D5 43 01");
}

// SetParameters fAutomaticRATS clear: the ISO/IEC 14443-4 card stays at layer 3
// (no ATS reported, APDUs unanswered) until the host sends RATS itself.
TEST_F(Pn532StrictTest, WithoutAutomaticRatsTheCardIsActivatedWithoutAts) {
    field.insert(*typeA);
    run(kOneActivationAttempt);
    run("D4 12 04");
    EXPECT_EQ(run(kListTypeA), "D5 4B 01 01 00 04 20 04 08 12 34 56");
    EXPECT_EQ(run("D4 40 01 00 A4 04 00 00"), "D5 41 01");
    EXPECT_EQ(run("D4 40 01 E0 50"), "D5 41 00 05 78 80 70 02");
    EXPECT_EQ(run("D4 40 01 00 A4 04 00 00"), "D5 41 00 90 00");
}

// InListPassiveTarget's initiator data names a 7-byte UID in its cascaded form.
TEST_F(Pn532StrictTest, SevenByteUidIsSelectedInItsCascadedForm) {
    field.insert(*type2);
    run(kOneActivationAttempt);
    EXPECT_EQ(run("D4 4A 01 00 04 A1 B2 C3 D4 E5 F6"), "D5 4B 00");
    EXPECT_EQ(run("D4 4A 01 00 88 04 A1 B2 C3 D4 E5 F6").substr(0, 8), "D5 4B 01");
}

// An answer longer than one frame is chained: status bit 6 (MI), the rest fetched
// with InDataExchange Tg alone.
TEST_F(Pn532StrictTest, LongAnswerIsChainedWithTheMoreInformationBit) {
    field.insert(*typeB);
    run(kOneActivationAttempt);
    ASSERT_EQ(run(kListTypeB).substr(0, 8), "D5 4B 01");
    const Bytes first = chip.execute(H("D4 40 01 90 32 03 00 00 00"));
    ASSERT_EQ(first.size(), 3u + 251u);
    EXPECT_EQ(first[2], 0x40);
    EXPECT_EQ(first[3], 0x00);
    const Bytes rest = chip.execute(H("D4 40 01"));
    ASSERT_EQ(rest.size(), 3u + 51u);
    EXPECT_EQ(rest[2], 0x00);
    EXPECT_EQ(rest[3], 251 & 0xFF);
    EXPECT_EQ(formatHex(Bytes(rest.end() - 2, rest.end())), "90 00");
}

// The reader's own polling makes target 1; GetGeneralStatus then shows it; the SAM
// status is 80 with or without a target (API manual 7.5).
TEST_F(Pn532StrictTest, TargetOfTheReadersOwnPollingShowsInGeneralStatus) {
    field.insert(*typeB);
    ASSERT_EQ(chip.pollForReader({Activation{Modulation::TypeB106, H("00"), false, true}}),
              typeB.get());
    EXPECT_EQ(run("D4 04"), "D5 05 00 00 01 01 00 00 00 80");
    chip.releaseTargetsOf(*typeB);
    EXPECT_EQ(run("D4 04"), "D5 05 00 00 00 80");
}

}  // namespace
}  // namespace vreader::testing
