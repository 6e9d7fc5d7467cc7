// Polling finds each kind of card that the library names, one scenario per test,
// and the card-specific exchanges work on the card found.
#include <cstdio>

#include "library_session.h"

namespace qvr_e2e {
namespace {

using CardTypes = ConnectedLibrary;

// oPollingTags over the library's list and oPollThisTag with the card's own type
// code both report that code.
void expectPollsFind(std::int32_t card, std::uint8_t type) {
    Reply all;
    std::uint8_t found = 0xEE;
    ASSERT_EQ(statusText(oPollingTags(card, all.data(), &all.length, &found, "01")), "0x9000");
    EXPECT_EQ(statusText(found), statusText(type)) << all.text();
    EXPECT_EQ(all.bytes[0], 1) << "one target: " << all.text();

    char text[3];
    std::snprintf(text, sizeof text, "%02X", type);
    Reply one;
    found = 0xEE;
    ASSERT_EQ(statusText(oPollThisTag(card, one.data(), &one.length, text, &found, "01")), "0x9000");
    EXPECT_EQ(statusText(found), statusText(type)) << one.text();
}

TEST_F(CardTypes, TypeB) {
    expectPollsFind(card, 0x23);
    Reply poll;
    EXPECT_EQ(statusText(oPollISO14443_TypeBTag(card, poll.data(), &poll.length)), "0x9000");
    Reply felica;
    EXPECT_EQ(statusText(oPollISO18092_TypeCTag(card, felica.data(), &felica.length)), "0xFFFF7000");
}

TEST_F(CardTypes, FeliCa212) {
    expectPollsFind(card, 0x11);
    Reply poll;
    ASSERT_EQ(statusText(oPollISO18092_TypeCTag(card, poll.data(), &poll.length)), "0x9000");
    EXPECT_EQ(hexOf(poll.data() + 3, 8), "01 2E 4C 8A 13 57 9B DF");
    Reply mode;
    EXPECT_EQ(statusText(oRequestResponseTypeC(card, "012e4c8a13579bdf", mode.data(), &mode.length)), "0x9000");
    EXPECT_EQ(mode.text(), "00");
    // Read Without Encryption, one block: the card's whole answer with type 12.
    const Bytes read = hex("10 06 01 2E 4C 8A 13 57 9B DF 01 0B 00 01 80 00");
    Reply block;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_ANSWER, read.data(), 16, block.data(), 1000,
                                 &block.length)),
              "0x9000");
    EXPECT_EQ(block.text(),
              "1D 07 01 2E 4C 8A 13 57 9B DF 00 00 01 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F");
    Reply typeB;
    EXPECT_EQ(statusText(oPollISO14443_TypeBTag(card, typeB.data(), &typeB.length)), "0x2008");
}

TEST_F(CardTypes, FeliCa424) {
    expectPollsFind(card, 0x12);
    // The card talks only at 424 kbit/s: the 212 kbit/s poll finds nothing.
    Reply poll;
    EXPECT_EQ(statusText(oPollISO18092_TypeCTag(card, poll.data(), &poll.length)), "0xFFFF7000");
}

TEST_F(CardTypes, TypeA) {
    expectPollsFind(card, 0x20);
    const Bytes select = hex("00 A4 04 00 07 D2 76 00 00 85 01 01 00");
    Reply selected;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_DATA, select.data(), 13, selected.data(), 1000,
                                 &selected.length)),
              "0x9000");
    // The card's bare 90 00 makes a short answer, delivered whole.
    EXPECT_EQ(selected.text(), "D5 41 00 90 00");
    const Bytes read = hex("00 B0 00 00 0F");
    Reply data;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_DATA, read.data(), 5, data.data(), 1000,
                                 &data.length)),
              "0x9000");
    EXPECT_EQ(data.text(), "00 0F 20 00 3B 00 34 04 06 E1 04 00 FF 00 00");
}

TEST_F(CardTypes, Type2Tag) {
    expectPollsFind(card, 0x10);
    // READ from page 4: sixteen bytes, the start of the NDEF message.
    const Bytes read = hex("30 04");
    Reply pages;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_ANSWER, read.data(), 2, pages.data(), 1000,
                                 &pages.length)),
              "0x9000");
    EXPECT_EQ(pages.text(), "03 10 D1 01 0C 55 01 65 78 61 6D 70 6C 65 2E 63");
    // A start page beyond the memory gets no answer: the chip's timeout.
    const Bytes beyond = hex("30 40");
    Reply none;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_ANSWER, beyond.data(), 2, none.data(), 1000,
                                 &none.length)),
              "0x9000");
    EXPECT_EQ(none.text(), "D5 41 01");
}

}  // namespace
}  // namespace qvr_e2e
