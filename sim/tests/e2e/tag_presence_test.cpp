// Through the real pcscd with tag presence: PC/SC sees a card only while a tag
// lies in the field, as a CCID-driven reader behaves. The scenario starts with
// an empty field.
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

}  // namespace
}  // namespace vreader::e2e
