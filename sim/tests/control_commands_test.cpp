// Control commands change the running device as documented, and say so.
#include <gtest/gtest.h>

#include "control_commands.h"
#include "test_bytes.h"

namespace vreader::testing {
namespace {

Scenario two_cards_one_in_field() {
    return parse_scenario(R"({"field": ["b"], "cards": [
        {"id": "b", "type": "type-b", "pupi": "01020304"},
        {"id": "f", "type": "felica", "idm": "0102030405060708", "pmm": "0102030405060708"}]})");
}

class ControlCommandsTest : public ::testing::Test {
protected:
    std::string run(const std::string& line) { return run_control_command(line, device); }
    VirtualReader device{two_cards_one_in_field(), Presence::Always};
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
    EXPECT_TRUE(device.faults().exchange_timeout);
    EXPECT_TRUE(device.faults().vanish_after_poll);
    EXPECT_EQ(device.faults().slow_answer, std::chrono::milliseconds(25));
    EXPECT_EQ(run("fault clear"), "ok");
    EXPECT_FALSE(device.faults().exchange_timeout);
    EXPECT_FALSE(device.faults().vanish_after_poll);
    EXPECT_EQ(device.faults().slow_answer, std::chrono::milliseconds(0));
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
    EXPECT_TRUE(device.quit_requested);
    EXPECT_EQ(run("dance").rfind("error unknown command: dance", 0), 0u);
    EXPECT_EQ(run(""), "error empty command");
}

TEST(TagPresence, PcscSeesACardOnlyWhileTheReaderHasActivatedOne) {
    VirtualReader device{two_cards_one_in_field(), Presence::WhileTagInField};
    EXPECT_EQ(device.card_state().present, device.reader().card_atr().has_value());
    run_control_command("remove b", device);
    device.after_change();
    EXPECT_FALSE(device.card_state().present);
    EXPECT_TRUE(device.card_state().atr.empty());
    run_control_command("insert f", device);
    device.after_change();
    EXPECT_EQ(device.card_state().present, device.reader().card_atr().has_value());
    EXPECT_EQ(device.card_state().atr, device.reader().card_atr().value_or(Bytes{}));
}

// Switching the RF field off loses the card, but the chip's answer to that very
// command, announced with 61 Le, is still fetched over the card's connection.
TEST(TagPresence, AnAnnouncedAnswerIsFetchedBeforeTheCardIsReportedGone) {
    VirtualReader device{two_cards_one_in_field(), Presence::WhileTagInField};
    ASSERT_TRUE(device.card_state().present);
    EXPECT_EQ(device.reader().transmit(H("FF 00 00 00 04 D4 32 01 00")), H("61 04"));
    device.after_change();
    EXPECT_TRUE(device.card_state().present);
    EXPECT_EQ(device.reader().transmit(H("FF C0 00 00 04")), H("D5 33 90 00"));
    device.after_change();
    EXPECT_FALSE(device.card_state().present);
}

TEST(AlwaysPresence, OneCardForTheWholeRun) {
    VirtualReader device{two_cards_one_in_field(), Presence::Always};
    const std::uint32_t number = device.card_state().card_number;
    run_control_command("remove b", device);
    device.after_change();
    EXPECT_TRUE(device.card_state().present);
    EXPECT_EQ(device.card_state().card_number, number);
    EXPECT_EQ(device.card_state().atr, device.reader().card_atr().value_or(kNoCardAtr));
}

TEST_F(ControlCommandsTest, StatsCountReaderCommands) {
    EXPECT_EQ(run("stats").rfind("ok commands=0 ", 0), 0u);
}

}  // namespace
}  // namespace vreader::testing
