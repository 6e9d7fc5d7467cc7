// The reader with no card in its field: every poll reports that nothing answered,
// each export in its own way.
#include "library_session.h"

namespace qvr_e2e {
namespace {

using Empty = ConnectedLibrary;

TEST_F(Empty, PollingTagsReportsNoTarget) {
    Reply reply;
    std::uint8_t found = 0xEE;
    EXPECT_EQ(statusText(oPollingTags(card, reply.data(), &reply.length, &found, "01")), "0x9000");
    EXPECT_EQ(reply.text(), "D5 61 00");
    EXPECT_EQ(found, 0x00);

    Reply one;
    found = 0xEE;
    EXPECT_EQ(statusText(oPollThisTag(card, one.data(), &one.length, "23", &found, "01")), "0x9000");
    EXPECT_EQ(one.text(), "D5 61 00");
    EXPECT_EQ(found, 0x00);
}

TEST_F(Empty, InListPassiveTargetPollsGiveTheirNoTargetCodes) {
    Reply typeB;
    EXPECT_EQ(statusText(oPollISO14443_TypeBTag(card, typeB.data(), &typeB.length)), "0x2008");
    EXPECT_EQ(typeB.text(), "D5 4B 00");
    Reply felica;
    EXPECT_EQ(statusText(oPollISO18092_TypeCTag(card, felica.data(), &felica.length)), "0xFFFF7000");
    EXPECT_EQ(felica.text(), "D5 4B 00");
}

TEST_F(Empty, ExchangeWithoutAnActivatedTarget) {
    // The chip answers D5 41 27: no target was activated.
    const Bytes select = hex("00 A4 04 00 00");
    Reply data;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_DATA, select.data(), 5, data.data(), 1000,
                                 &data.length)),
              "0x4127");
    EXPECT_EQ(data.text(), "D5 41 27");
    Reply whole;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_ANSWER, select.data(), 5, whole.data(), 1000,
                                 &whole.length)),
              "0x9000");
    EXPECT_EQ(whole.text(), "D5 41 27");
    Reply condensed;
    EXPECT_EQ(statusText(oRequestResponseTypeB(card, condensed.data(), &condensed.length)), "0x4127");
    Reply rate;
    EXPECT_EQ(statusText(oChangeBaudRate(card, rate.data(), &rate.length, 1)), "0x9000");
    EXPECT_EQ(rate.text(), "D5 4F 27");
}

}  // namespace
}  // namespace qvr_e2e
