// The sequence a shop program runs on a reader that, like a real ACR122U under the
// CCID driver, shows a card to PC/SC only while a tag is in its field: connect with
// an empty field (the library falls back to a direct connection and talks to the
// reader through the CCID escape), poll, a card is put in, polled and exchanged with,
// taken out, and another put in, all on that one connection.
#include "library_session.h"

namespace qvr_e2e {
namespace {

using namespace std::chrono_literals;

const Bytes kSelectDemoApplication = hex("00 A4 04 00 06 F0 51 56 52 00 01");

std::uint8_t pollTagType(std::int32_t handle) {
    Reply reply;
    std::uint8_t found = 0xEE;
    const std::int32_t status = oPollingTags(handle, reply.data(), &reply.length, &found, "01");
    return status == QVR_SW_SUCCESS ? found : 0xEE;
}

std::string select(std::int32_t handle) {
    Reply data;
    const std::int32_t status = oSendTo(handle, QVR_EXCHANGE_CARD_DATA, kSelectDemoApplication.data(),
                                        static_cast<std::int32_t>(kSelectDemoApplication.size()), data.data(),
                                        1000, &data.length);
    return statusText(status) + " " + data.text();
}

TEST(EmptyFieldStart, DirectConnectionCarriesTheWholeSequence) {
    ASSERT_TRUE(waitForCard(false, 5s)) << "the field starts empty";
    const std::int32_t card = oConnectPCSCReader();
    ASSERT_NE(card, 0) << "no connection without a tag";
    Reply firmware;
    EXPECT_EQ(statusText(oFirmwareVer(card, firmware.data(), &firmware.length)), "0x9000");
    EXPECT_EQ(firmware.text(), "D5 03 32 01 06 07");
    EXPECT_EQ(pollTagType(card), QVR_TAG_NONE);

    ASSERT_EQ(control("insert typeb"), "ok");
    EXPECT_TRUE(waitForCard(true, 5s)) << "the reader activated the card by itself";
    EXPECT_EQ(pollTagType(card), QVR_TAG_TYPE_B_14443_4);
    EXPECT_EQ(select(card), "0x9000 6F 08 84 06 F0 51 56 52 00 01");

    ASSERT_EQ(control("remove typeb"), "ok");
    EXPECT_TRUE(waitForCard(false, 5s));
    EXPECT_EQ(select(card), "0x4101 D5 41 01") << "the card left: the chip's timeout";
    EXPECT_EQ(pollTagType(card), QVR_TAG_NONE);

    ASSERT_EQ(control("insert felica"), "ok");
    EXPECT_EQ(pollTagType(card), QVR_TAG_FELICA_212) << "the same direct connection finds the next card";
    EXPECT_EQ(oDisconnectPCSCReader(card), QVR_SW_SUCCESS);
}

TEST(EmptyFieldStart, WithATagInTheFieldAtConnect) {
    ASSERT_EQ(control("insert typeb"), "ok");
    ASSERT_TRUE(waitForCard(true, 5s));
    const std::int32_t card = oConnectPCSCReader();
    ASSERT_NE(card, 0);
    EXPECT_EQ(pollTagType(card), QVR_TAG_TYPE_B_14443_4);
    EXPECT_EQ(select(card), "0x9000 6F 08 84 06 F0 51 56 52 00 01");
    EXPECT_EQ(oDisconnectPCSCReader(card), QVR_SW_SUCCESS);
}

}  // namespace
}  // namespace qvr_e2e
