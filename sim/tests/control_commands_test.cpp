// Control commands change the running device as documented, and say so.
#include <gtest/gtest.h>

#include "program/control_commands.h"
#include "test_bytes.h"

namespace vreader::testing {
namespace {

Scenario twoCardsOneInField() {
    return parseScenario(R"({"field": ["b"], "cards": [
        {"id": "b", "type": "type-b", "pupi": "01020304"},
        {"id": "f", "type": "felica", "idm": "0102030405060708", "pmm": "0102030405060708"}]})");
}

class ControlCommandsTest : public ::testing::Test {
protected:
    std::string run(const std::string& line) { return runControlCommand(line, device); }
    VirtualReader device{twoCardsOneInField(), Presence::Always};
};

TEST_F(ControlCommandsTest, InsertAndRemoveChangeTheFieldAndItsOrder) {
    EXPECT_EQ(run("status"), "ok attached=no presence=always rf=on field=b cards=b,f card=yes");
    EXPECT_EQ(run("insert f"), "ok");
    EXPECT_EQ(run("remove b"), "ok");
    EXPECT_EQ(run("insert b"), "ok");
    EXPECT_EQ(run("status"), "ok attached=no presence=always rf=on field=f,b cards=b,f card=yes");
    EXPECT_EQ(run("remove b"), "ok");
    EXPECT_EQ(run("remove b"), "error b is not in the field");
    EXPECT_EQ(run("insert nobody").rfind("error", 0), 0u);
    EXPECT_EQ(run("insert").rfind("error", 0), 0u);
}

TEST_F(ControlCommandsTest, FaultsAreArmedAndCleared) {
    EXPECT_EQ(run("fault timeout"), "ok");
    EXPECT_EQ(run("fault vanish-after-poll"), "ok");
    EXPECT_EQ(run("fault slow 25"), "ok");
    EXPECT_TRUE(device.faults().exchangeTimeout);
    EXPECT_TRUE(device.faults().vanishAfterPoll);
    EXPECT_EQ(device.faults().slowAnswer, std::chrono::milliseconds(25));
    EXPECT_EQ(run("fault clear"), "ok");
    EXPECT_FALSE(device.faults().exchangeTimeout);
    EXPECT_FALSE(device.faults().vanishAfterPoll);
    EXPECT_EQ(device.faults().slowAnswer, std::chrono::milliseconds(0));
    for (const char* bad : {"fault", "fault slow", "fault slow -3", "fault slow 5ms", "fault fire"}) {
        EXPECT_EQ(run(bad).rfind("error usage", 0), 0u) << bad;
    }
}

TEST_F(ControlCommandsTest, DropAttachAndQuit) {
    EXPECT_FALSE(device.unplugged);
    EXPECT_EQ(run("drop"), "ok");
    EXPECT_TRUE(device.unplugged);
    EXPECT_EQ(run("attach"), "ok");
    EXPECT_FALSE(device.unplugged);
    EXPECT_EQ(run("  quit  "), "ok");
    EXPECT_TRUE(device.quitRequested);
    EXPECT_EQ(run("dance").rfind("error unknown command: dance", 0), 0u);
    EXPECT_EQ(run(""), "error empty command");
}

TEST(TagPresence, PcscSeesACardOnlyWhileTheReaderHasActivatedOne) {
    VirtualReader device{twoCardsOneInField(), Presence::WhileTagInField};
    EXPECT_EQ(device.slot().view().present, device.reader().cardAtr().has_value());
    runControlCommand("remove b", device);
    device.afterChange();
    EXPECT_FALSE(device.slot().view().present);
    EXPECT_TRUE(device.slot().view().atr.empty());
    runControlCommand("insert f", device);
    device.afterChange();
    EXPECT_EQ(device.slot().view().present, device.reader().cardAtr().has_value());
    EXPECT_EQ(device.slot().view().atr, device.reader().cardAtr().value_or(Bytes{}));
}

// The host switching the RF field off leaves the tag in the slot (it only lost
// power); the chip's answer announced with 61 Le is fetched over the card's
// connection, and only the tag leaving the field empties the slot.
TEST(TagPresence, FieldOffByTheHostKeepsTheCardUntilItLeaves) {
    VirtualReader device{twoCardsOneInField(), Presence::WhileTagInField};
    ASSERT_TRUE(device.slot().view().present);
    EXPECT_EQ(device.reader().transmit(H("FF 00 00 00 04 D4 32 01 00")), H("61 04"));
    device.afterChange();
    EXPECT_TRUE(device.slot().view().present);
    EXPECT_EQ(device.reader().transmit(H("FF C0 00 00 04")), H("D5 33 90 00"));
    device.afterChange();
    EXPECT_TRUE(device.slot().view().present);
    runControlCommand("remove b", device);
    device.afterChange();
    EXPECT_FALSE(device.slot().view().present);
}

TEST(AlwaysPresence, OneCardForTheWholeRun) {
    VirtualReader device{twoCardsOneInField(), Presence::Always};
    const std::uint32_t number = device.slot().view().cardNumber;
    runControlCommand("remove b", device);
    device.afterChange();
    EXPECT_TRUE(device.slot().view().present);
    EXPECT_EQ(device.slot().view().cardNumber, number);
    EXPECT_EQ(device.slot().view().atr, device.reader().cardAtr().value_or(kNoCardAtr));
}

TEST_F(ControlCommandsTest, StatsCountReaderCommands) {
    EXPECT_EQ(run("stats").rfind("ok commands=0 ", 0), 0u);
}

}  // namespace
}  // namespace vreader::testing
