// Storage cards through the shipped library: a MIFARE Classic top-up with the
// chip's commands (oSendTo types 11 and 12) and with the reader's storage-card
// commands (type 10), and a Type 2 tag read with the reader's FF B0.
#include "library_session.h"

namespace qvr_e2e {
namespace {

using StorageCards = ConnectedLibrary;

// One command to the card in InDataExchange, the whole answer back (type 12).
std::string toCard(std::int32_t card, const std::string& command) {
    const Bytes bytes = hex(command);
    Reply reply;
    const std::int32_t status = oSendTo(card, QVR_EXCHANGE_CARD_ANSWER, bytes.data(),
                                        static_cast<std::int32_t>(bytes.size()), reply.data(), 1000,
                                        &reply.length);
    EXPECT_EQ(statusText(status), "0x9000") << command;
    EXPECT_TRUE(reply.guardIntact()) << command;
    return reply.text();
}

// One APDU to the reader as it is (type 10): the whole answer, status word included.
std::string toReader(std::int32_t card, const std::string& apdu) {
    const Bytes bytes = hex(apdu);
    Reply reply;
    const std::int32_t count = oSendTo(card, QVR_EXCHANGE_RAW, bytes.data(),
                                       static_cast<std::int32_t>(bytes.size()), reply.data(), 1000,
                                       &reply.length);
    EXPECT_GT(count, 0) << apdu;
    return hexOf(reply.data(), count > 0 ? static_cast<std::size_t>(count) : 0);
}

void poll(std::int32_t card) {
    Reply reply;
    std::uint8_t found = 0;
    ASSERT_EQ(statusText(oPollingTags(card, reply.data(), &reply.length, &found, "01")), "0x9000");
    ASSERT_EQ(found, 0x10) << reply.text();
}

// Sector 1 of mifare-classic-topup: block 5 holds 1000 (E8 03 00 00 ...); key A
// reads, key B tops up.
TEST_F(StorageCards, ClassicTopUpThroughTheChip) {
    poll(card);
    EXPECT_EQ(toCard(card, "60 05 51 56 52 4B 45 41 C4 1F 72 0B"), "D5 41 00");
    // A block read comes back as the card's 16 bytes; the bare status of an
    // authentication as the chip's whole answer.
    EXPECT_EQ(toCard(card, "30 05"), "E8 03 00 00 17 FC FF FF E8 03 00 00 05 FA 05 FA");
    // A wrong key: the chip's authentication error, and the card halts.
    EXPECT_EQ(toCard(card, "61 05 00 00 00 00 00 00 C4 1F 72 0B"), "D5 41 14");
    EXPECT_EQ(toCard(card, "30 05"), "D5 41 01");
    poll(card);
    EXPECT_EQ(toCard(card, "61 05 51 56 52 4B 45 42 C4 1F 72 0B"), "D5 41 00");
    EXPECT_EQ(toCard(card, "C1 05 F4 01 00 00"), "D5 41 00");  // + 500
    EXPECT_EQ(toCard(card, "B0 05"), "D5 41 00");
    EXPECT_EQ(toCard(card, "30 05"), "DC 05 00 00 23 FA FF FF DC 05 00 00 05 FA 05 FA");

    // Type 11 hands over the card's data and takes its last two bytes for a status
    // word; a MIFARE block has none, so its last two bytes come back as the result.
    const Bytes read = hex("30 05");
    Reply data;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_DATA, read.data(), 2, data.data(), 1000,
                                 &data.length)),
              "0x5FA");
    EXPECT_EQ(data.text(), "DC 05 00 00 23 FA FF FF DC 05 00 00 05 FA");
}

// API manual section 5: load the keys, authenticate, read the value, increment
// (with its transfer), read it back; a wrong key is 63 00.
TEST_F(StorageCards, ClassicTopUpThroughTheReadersCommands) {
    EXPECT_EQ(toReader(card, "FF 82 00 00 06 51 56 52 4B 45 41"), "90 00");
    EXPECT_EQ(toReader(card, "FF 82 00 01 06 51 56 52 4B 45 42"), "90 00");
    EXPECT_EQ(toReader(card, "FF 86 00 00 05 01 00 05 60 00"), "90 00");
    EXPECT_EQ(toReader(card, "FF B1 00 05 04"), "00 00 03 E8 90 00");
    EXPECT_EQ(toReader(card, "FF 86 00 00 05 01 00 05 60 01"), "63 00");  // key B's bytes as key A
    EXPECT_EQ(toReader(card, "FF 86 00 00 05 01 00 05 61 01"), "90 00");
    EXPECT_EQ(toReader(card, "FF D7 00 05 05 01 00 00 00 FA"), "90 00");  // + 250
    EXPECT_EQ(toReader(card, "FF B1 00 05 04"), "00 00 04 E2 90 00");
    EXPECT_EQ(toReader(card, "FF B0 00 05 10"), "E2 04 00 00 1D FB FF FF E2 04 00 00 05 FA 05 FA 90 00");
}

// ntag213: FF B0 reads four pages, the capability container and the NDEF message
// as the scenario wrote it.
TEST_F(StorageCards, Type2ReadThroughTheReader) {
    EXPECT_EQ(toReader(card, "FF B0 00 03 10"), "E1 10 12 00 03 1B D1 01 17 55 04 71 75 65 6E 76 90 00");
    EXPECT_EQ(toReader(card, "FF B0 00 07 10"), "61 72 69 61 2E 74 65 73 74 2F 6E 74 61 67 32 31 90 00");
    EXPECT_EQ(toReader(card, "FF D6 00 10 04 CA FE F0 0D"), "90 00");
    EXPECT_EQ(toReader(card, "FF B0 00 10 04"), "CA FE F0 0D 90 00");
}

}  // namespace
}  // namespace qvr_e2e
