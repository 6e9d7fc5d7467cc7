// Through the real pcscd with tag presence: PC/SC sees a card only while a tag
// lies in the field, as a CCID-driven reader behaves. The scenario starts with
// an empty field.
#include <thread>

#include "e2e_test_support.h"

namespace vreader::e2e {
namespace {

TEST(TagPresence, CardShowsOnlyWhileATagIsInTheField) {
    PcscSession session;
    ASSERT_NE(session.reader().find("ACR122U"), std::string::npos) << session.reader();
    EXPECT_TRUE(session.waitForCard(false, std::chrono::seconds(5)));
    EXPECT_EQ(session.connect(), SCARD_E_NO_SMARTCARD);

    EXPECT_EQ(control("insert typeb"), "ok");
    ASSERT_TRUE(session.waitForCard(true, std::chrono::seconds(5)));
    ASSERT_EQ(session.connect(), SCARD_S_SUCCESS);
    EXPECT_EQ(formatHex(session.chip(kListTypeB)).substr(0, 8), "D5 4B 01");

    EXPECT_EQ(control("remove typeb"), "ok");
    EXPECT_TRUE(session.waitForCard(false, std::chrono::seconds(5)));
    EXPECT_NE(session.transmit(H("FF 00 00 00 02 D4 02")).result, SCARD_S_SUCCESS);
    EXPECT_EQ(session.connect(), SCARD_E_NO_SMARTCARD);
}

// The slot's tag leaves while another lies beside it, right after it arrived (pcscd
// still holds it powered): pcscd must count a removal and an arrival, and power the other.
TEST(TagPresence, TagTakenOffBesideAnotherIsSeenLeavingAndTheOtherArriving) {
    PcscSession session;
    ASSERT_EQ(control("insert typeb"), "ok");
    ASSERT_TRUE(session.waitForCard(true, std::chrono::seconds(5)));
    const DWORD before = session.cardEvents();
    ASSERT_EQ(control("insert felica"), "ok");
    ASSERT_EQ(control("remove typeb"), "ok");

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (session.cardEvents() < before + 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(session.cardEvents(), before + 2);
    ASSERT_EQ(session.connect(), SCARD_S_SUCCESS);
    EXPECT_EQ(formatHex(session.transmit(H("FF CA 00 00 00")).bytes), "01 2E 4C 8A 13 57 9B DF 90 00");  // the IDm
}

}  // namespace
}  // namespace vreader::e2e
