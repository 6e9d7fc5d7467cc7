// The CCID message layer of the USB face: PC_to_RDR bytes in, RDR_to_PC bytes out,
// with the slot's state in bStatus and failures in bError as CCID 1.1 has them.
#include <gtest/gtest.h>

#include "faces/usb/ccid_messages.h"
#include "program/virtual_reader.h"
#include "test_bytes.h"

namespace vreader::testing {
namespace {

Scenario typeBCard(bool inField) {
    return parseScenario(std::string(R"({"field": [)") + (inField ? R"("b")" : "") + R"(], "cards": [
        {"id": "b", "type": "type-b", "pupi": "01020304"}]})");
}

struct Exchange {
    const char* name;
    const char* message;
    const char* answer;
};

class CcidWithoutCard : public ::testing::TestWithParam<Exchange> {};

// Tag presence, empty field: only the escape and the status questions work.
TEST_P(CcidWithoutCard, AnswersAsAnEmptySlot) {
    VirtualReader device{typeBCard(false), Presence::WhileTagInField};
    EXPECT_EQ(ccid::answer(H(GetParam().message), device.slot()), H(GetParam().answer));
}

INSTANTIATE_TEST_SUITE_P(Messages, CcidWithoutCard, ::testing::Values(
    Exchange{"PowerOnIsMute", "62 00 00 00 00 00 07 01 00 00", "80 00 00 00 00 00 07 42 FE 00"},
    Exchange{"SlotStatusSaysAbsent", "65 00 00 00 00 00 08 00 00 00", "81 00 00 00 00 00 08 02 00 00"},
    Exchange{"XfrBlockIsMute", "6F 05 00 00 00 00 09 00 00 00 FF 00 48 00 00", "80 00 00 00 00 00 09 42 FE 00"},
    Exchange{"EscapeReachesTheReader", "6B 05 00 00 00 00 0A 00 00 00 FF 00 48 00 00",
             "83 0A 00 00 00 00 0A 02 00 00 41 43 52 31 32 32 55 32 31 35"},
    Exchange{"EscapeAnswersAChipCommandWhole", "6B 07 00 00 00 00 0B 00 00 00 FF 00 00 00 02 D4 02",
             "83 08 00 00 00 00 0B 02 00 00 D5 03 32 01 06 07 90 00"},
    Exchange{"AbortAnswersSlotStatus", "72 00 00 00 00 00 0C 00 00 00", "81 00 00 00 00 00 0C 02 00 00"},
    Exchange{"SecondSlotDoesNotExist", "65 00 00 00 00 01 0D 00 00 00", "81 00 00 00 00 01 0D 42 05 00"},
    Exchange{"IccClockIsNotSupported", "6E 00 00 00 00 00 0E 00 00 00", "81 00 00 00 00 00 0E 42 00 00"},
    Exchange{"GetParametersGiveT1", "6C 00 00 00 00 00 0F 00 00 00",
             "82 07 00 00 00 00 0F 02 00 01 11 10 00 4D 00 FE 00"},
    Exchange{"SetParametersRefusesT0", "61 05 00 00 00 00 10 00 00 00 11 00 00 0A 00",
             "82 00 00 00 00 00 10 42 07 00"}),
    [](const auto& test) { return std::string(test.param.name); });

// With a card: power on gives the pseudo-ATR in a DataBlock that carries 81 in bError
// (as the reader's captured answers do), APDUs then reach the card, power off ends it.
TEST(CcidWithCard, PowerTransmitAndPowerOff) {
    VirtualReader device{typeBCard(true), Presence::WhileTagInField};
    SlotService& slot = device.slot();
    EXPECT_EQ(ccid::answer(H("65 00 00 00 00 00 01 00 00 00"), slot), H("81 00 00 00 00 00 01 01 00 00"))
        << "present, not powered";
    EXPECT_EQ(ccid::answer(H("6F 05 00 00 00 00 02 00 00 00 FF CA 00 00 00"), slot),
              H("80 00 00 00 00 00 02 41 FE 00"))
        << "an APDU before power on is refused";
    const Bytes atr = device.reader().cardAtr().value();
    const Bytes powered = ccid::answer(H("62 00 00 00 00 00 03 01 00 00"), slot);
    ASSERT_EQ(powered.size(), 10 + atr.size());
    EXPECT_EQ(Bytes(powered.begin(), powered.begin() + 10),
              (Bytes{0x80, static_cast<std::uint8_t>(atr.size()), 0, 0, 0, 0, 0x03, 0x00, 0x81, 0x00}));
    EXPECT_EQ(Bytes(powered.begin() + 10, powered.end()), atr);
    EXPECT_EQ(ccid::answer(H("6F 05 00 00 00 00 04 00 00 00 FF CA 00 00 00"), slot),
              H("80 06 00 00 00 00 04 00 81 00 01 02 03 04 90 00"));
    EXPECT_EQ(ccid::answer(H("61 07 00 00 00 00 05 01 00 00 11 10 00 4D 00 FE 00"), slot),
              H("82 07 00 00 00 00 05 00 00 01 11 10 00 4D 00 FE 00"))
        << "T=1 parameters taken as asked";
    EXPECT_EQ(ccid::answer(H("63 00 00 00 00 00 06 00 00 00"), slot), H("81 00 00 00 00 00 06 01 00 00"));
    EXPECT_EQ(ccid::answer(H("6F 05 00 00 00 00 07 00 00 00 FF CA 00 00 00"), slot),
              H("80 00 00 00 00 00 07 41 FE 00"));
}

// A card that leaves while powered takes the power with it: a new card starts unpowered.
TEST(CcidWithCard, ANewCardIsNotPoweredByTheOldPowerOn) {
    VirtualReader device{typeBCard(true), Presence::WhileTagInField};
    ccid::answer(H("62 00 00 00 00 00 01 01 00 00"), device.slot());
    Card& card = *device.scenario().find("b");
    device.field().remove(card);
    device.afterChange();
    device.field().insert(card);
    device.afterChange();
    EXPECT_EQ(ccid::answer(H("65 00 00 00 00 00 02 00 00 00"), device.slot()), H("81 00 00 00 00 00 02 01 00 00"));
}

TEST(CcidFraming, LengthsTimeExtensionAndSlotChange) {
    EXPECT_EQ(ccid::messageLength(H("6F 05 00 00")), std::nullopt);
    EXPECT_EQ(ccid::messageLength(H("6F 05 01 00 00 00 01 00 00 00")), 10u + 0x105u);
    EXPECT_EQ(ccid::timeExtension(H("6F 02 00 00 00 00 2A 00 00 00 D4 02"), SlotView{true, true, 1, {}}),
              H("80 00 00 00 00 00 2A 80 01 00"));
    EXPECT_EQ(ccid::timeExtension(H("6B 02 00 00 00 00 2B 00 00 00 D4 02"), SlotView{}),
              H("83 00 00 00 00 00 2B 82 01 00"));
    EXPECT_EQ(ccid::slotChange(true), H("50 03"));
    EXPECT_EQ(ccid::slotChange(false), H("50 02"));
}

// The host switches the RF field off and on (RFConfiguration item 01) with a tag on
// the reader: the slot keeps its card; only a card that leaves ends the session.
TEST(SlotService, HostFieldCycleKeepsTheCard) {
    VirtualReader device{typeBCard(true), Presence::WhileTagInField};
    const SlotView before = device.slot().view();
    ASSERT_TRUE(before.present);
    EXPECT_EQ(device.slot().escape(H("FF 00 00 00 04 D4 32 01 00")), H("D5 33 90 00"));
    EXPECT_TRUE(device.slot().view().present) << "field off";
    EXPECT_EQ(device.slot().escape(H("FF 00 00 00 04 D4 32 01 01")), H("D5 33 90 00"));
    EXPECT_EQ(device.slot().view().cardNumber, before.cardNumber) << "field on again: the same card";
    EXPECT_EQ(device.slot().escape(H("FF 00 00 00 04 D4 32 01 00")), H("D5 33 90 00"));
    device.field().remove(*device.scenario().find("b"));
    device.afterChange();
    EXPECT_FALSE(device.slot().view().present) << "the card left while the field was off";
}

}  // namespace
}  // namespace vreader::testing

namespace vreader::testing {
namespace {

// The activated card leaves while another tag stays in the field: the reader's own
// polling activates the other one, and the slot holds a different card.
TEST(SlotService, CardLeavingBesideAnotherTagGivesTheSlotTheOther) {
    VirtualReader device{parseScenario(R"({"field": ["b", "f"], "cards": [
        {"id": "b", "type": "type-b", "pupi": "01020304"},
        {"id": "f", "type": "felica", "idm": "01 2E 4C 8A 13 57 9B DF", "pmm": "03 01 4B 02 4F 49 93 FF"}]})"),
                         Presence::WhileTagInField};
    const SlotView before = device.slot().view();
    ASSERT_TRUE(before.present);
    device.field().remove(*device.scenario().find("b"));
    device.afterChange();
    const SlotView after = device.slot().view();
    EXPECT_TRUE(after.present);
    EXPECT_NE(after.cardNumber, before.cardNumber);
    EXPECT_NE(after.atr, before.atr);
}

}  // namespace
}  // namespace vreader::testing
