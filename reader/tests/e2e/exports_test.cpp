// Every export of the reader library through a real pcscd and the virtual ACR122U
// with the demo scenario: a Type B card with an ISO 7816 application, then a FeliCa
// card (212 and 424 kbit/s), in the field in that order.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "library_session.h"

namespace qvr_e2e {
namespace {

// The demo card's IDm, as oRequestResponseTypeC takes it.
constexpr char kFeliCaIdm[] = "012E4C8A13579BDF";
const Bytes kSelectDemoApplication = hex("00 A4 04 00 06 F0 51 56 52 00 01");
const Bytes kReadBinary = hex("00 B0 00 00 00");
// The demo Type B card's ATQB: 50, PUPI, application data, protocol info.
const std::string kDemoAtqb = "50 E8 25 3E EC 00 00 00 11 00 81 85";

TEST(Demo, ReaderNameIsTheVirtualReadersOneSlot) {
    char name[QVR_NAME_BUFFER_SIZE];
    std::memset(name, 'x', sizeof name);
    ASSERT_EQ(oPCSCReaderName(name), 1);
    const std::string text(name);
    EXPECT_NE(text.find("ACR122U"), std::string::npos) << text;
    // One reader with one slot, named as pcscd names a USB ACR122U.
    EXPECT_EQ(text, "ACS ACR122U PICC Interface 00 00");
    EXPECT_EQ(oPCSCReaderName(nullptr), 0);
}

TEST(Demo, ConnectGivesWorkingHandlesAndDisconnectEndsThem) {
    const std::int32_t first = oConnectPCSCReader();
    const std::int32_t second = oConnectPCSCReader();
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    EXPECT_NE(first, second);

    Reply reply;
    EXPECT_EQ(oFirmwareVer(second, reply.data(), &reply.length), QVR_SW_SUCCESS);
    EXPECT_EQ(oDisconnectPCSCReader(first), QVR_SW_SUCCESS);
    EXPECT_EQ(oDisconnectPCSCReader(first), 0) << "a stale handle";

    // The disconnect unpowers the card: pcscd resets it for every connection, and
    // the other handle fails from then on (the library never reconnects).
    for (int call = 0; call < 3; ++call) {
        Reply reset;
        EXPECT_EQ(statusText(oFirmwareVer(second, reset.data(), &reset.length)), "0x7000");
        EXPECT_EQ(reset.length, 0);
    }
    // A fresh connection works.
    const std::int32_t third = oConnectPCSCReader();
    ASSERT_NE(third, 0);
    Reply fresh;
    EXPECT_EQ(oFirmwareVer(third, fresh.data(), &fresh.length), QVR_SW_SUCCESS);
    EXPECT_EQ(fresh.text(), "D5 03 32 01 06 07");
    EXPECT_EQ(oDisconnectPCSCReader(third), QVR_SW_SUCCESS);
    EXPECT_EQ(oDisconnectPCSCReader(second), QVR_SW_SUCCESS) << "still open, though reset";

    Reply stale;
    EXPECT_EQ(statusText(oFirmwareVer(third, stale.data(), &stale.length)), "0x7000");
    EXPECT_EQ(stale.length, 0);
}

using DemoConnected = ConnectedLibrary;

// The configuration exports: each sends one chip command and hands back the
// chip's short answer whole, with the reader's status word.
struct ConfigurationCase {
    const char* name;
    std::int32_t (*call)(std::int32_t, std::uint8_t*, std::int32_t*);
    const char* reply;
};

TEST_F(DemoConnected, ConfigurationCommandsDeliverTheChipsAnswer) {
    const ConfigurationCase cases[] = {
        {"oFirmwareVer", oFirmwareVer, "D5 03 32 01 06 07"},
        {"oConfigureReader", oConfigureReader, "D5 33"},
        {"oSetRetryTimeToOne", oSetRetryTimeToOne, "D5 33"},
        {"oTurnOffAntennaPower", oTurnOffAntennaPower, "D5 33"},
    };
    for (const auto& c : cases) {
        Reply reply;
        EXPECT_EQ(statusText(c.call(card, reply.data(), &reply.length)), "0x9000") << c.name;
        EXPECT_EQ(reply.text(), c.reply) << c.name;
        EXPECT_TRUE(reply.guardIntact()) << c.name;
    }
}

TEST_F(DemoConnected, DeselectAndBaudRateActOnThePolledTarget) {
    Reply poll;
    ASSERT_EQ(oPollISO18092_TypeCTag(card, poll.data(), &poll.length), QVR_SW_SUCCESS);

    for (const std::int32_t rate : {1, 0, -1}) {
        Reply reply;
        EXPECT_EQ(statusText(oChangeBaudRate(card, reply.data(), &reply.length, rate)), "0x9000");
        EXPECT_EQ(reply.text(), "D5 4F 00") << "rate selector " << rate;
    }
    Reply deselect;
    EXPECT_EQ(statusText(oDeSelectTag(card, deselect.data(), &deselect.length)), "0x9000");
    EXPECT_EQ(deselect.text(), "D5 45 00");
}

TEST_F(DemoConnected, PollingTagsFindsTheTypeBCardFirst) {
    Reply reply;
    std::uint8_t found = 0xEE;
    ASSERT_EQ(statusText(oPollingTags(card, reply.data(), &reply.length, &found, "01")), "0x9000");
    EXPECT_EQ(found, 0x23);
    // NbTg 2, then the Type B target: type 23, its data length, Tg 1 and the ATQB.
    EXPECT_EQ(reply.text().substr(0, 11), "02 23 0F 01") << reply.text();
    EXPECT_NE(reply.text().find(kDemoAtqb), std::string::npos) << reply.text();
    EXPECT_TRUE(reply.guardIntact());
}

TEST_F(DemoConnected, PollThisTagFindsOnlyTheNamedType) {
    struct Case {
        const char* type;
        std::uint8_t found;
    };
    for (const Case c : {Case{"11", 0x11}, Case{"12", 0x12}, Case{"23", 0x23}, Case{"20", 0x00}}) {
        Reply reply;
        std::uint8_t found = 0xEE;
        EXPECT_EQ(statusText(oPollThisTag(card, reply.data(), &reply.length, c.type, &found, "02")),
                  "0x9000")
            << c.type;
        EXPECT_EQ(found, c.found) << c.type << ": " << reply.text();
    }
}

TEST_F(DemoConnected, TypeBPollDeliversTheAtqb) {
    Reply reply;
    ASSERT_EQ(statusText(oPollISO14443_TypeBTag(card, reply.data(), &reply.length)), "0x9000");
    EXPECT_EQ(reply.text().substr(0, kDemoAtqb.size()), kDemoAtqb);
}

TEST_F(DemoConnected, FeliCaPollAndRequestResponseGiveTheCardsMode) {
    Reply poll;
    ASSERT_EQ(statusText(oPollISO18092_TypeCTag(card, poll.data(), &poll.length)), "0x9000");
    ASSERT_GE(poll.length, 11);
    EXPECT_EQ(hexOf(poll.data() + 3, 8), "01 2E 4C 8A 13 57 9B DF") << poll.text();

    // The IDm as the caller takes it from the poll: bytes 3 to 10, as hex text.
    char idm[17];
    for (int i = 0; i < 8; ++i) std::snprintf(idm + 2 * i, 3, "%02X", poll.bytes[3 + static_cast<std::size_t>(i)]);
    EXPECT_STREQ(idm, kFeliCaIdm);
    Reply reply;
    EXPECT_EQ(statusText(oRequestResponseTypeC(card, idm, reply.data(), &reply.length)), "0x9000");
    EXPECT_EQ(reply.text(), "00") << "mode 0";
    EXPECT_EQ(hexOf(reply.data(), 11), "00 00 00 00 00 00 00 00 00 00 00");
}

TEST_F(DemoConnected, CardExchangeTypesElevenAndTwelve) {
    Reply poll;
    ASSERT_EQ(oPollISO14443_TypeBTag(card, poll.data(), &poll.length), QVR_SW_SUCCESS);

    Reply data;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_DATA, kSelectDemoApplication.data(), 11,
                                 data.data(), 1000, &data.length)),
              "0x9000");
    EXPECT_EQ(data.text(), "6F 08 84 06 F0 51 56 52 00 01");

    Reply missing;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_DATA, kReadBinary.data(), 5, missing.data(),
                                 1000, &missing.length)),
              "0x6A82");
    // A short answer (at most 7 bytes from the chip) is delivered whole, header included.
    EXPECT_EQ(missing.text(), "D5 41 00 6A 82");

    Reply whole;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_ANSWER, kSelectDemoApplication.data(), 11,
                                 whole.data(), 1000, &whole.length)),
              "0x9000");
    EXPECT_EQ(whole.text(), "6F 08 84 06 F0 51 56 52 00 01 90 00");

    Reply whole_error;
    EXPECT_EQ(statusText(oSendTo(card, QVR_EXCHANGE_CARD_ANSWER, kReadBinary.data(), 5,
                                 whole_error.data(), 1000, &whole_error.length)),
              "0x9000");
    EXPECT_EQ(whole_error.text(), "D5 41 00 6A 82");
    for (const Reply* r : {&data, &missing, &whole, &whole_error}) EXPECT_TRUE(r->guardIntact());
}

TEST_F(DemoConnected, RawExchangeAndUnknownType) {
    const Bytes firmware = hex("FF 00 48 00 00");
    Reply raw;
    raw.length = 77;
    EXPECT_EQ(oSendTo(card, QVR_EXCHANGE_RAW, firmware.data(), 5, raw.data(), 64, &raw.length), 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw.data()), 10), "ACR122U215");
    EXPECT_EQ(raw.length, 0);
    EXPECT_EQ(raw.bytes[10], Reply::kUntouched);

    // A capacity too small for the reader's answer: nothing delivered.
    Reply tight;
    EXPECT_EQ(oSendTo(card, QVR_EXCHANGE_RAW, firmware.data(), 5, tight.data(), 8, &tight.length), 0);
    EXPECT_EQ(tight.bytes[0], Reply::kUntouched);

    Reply unknown;
    unknown.length = 55;
    EXPECT_EQ(statusText(oSendTo(card, 13, firmware.data(), 5, unknown.data(), 1000, &unknown.length)),
              "0x200F");
    EXPECT_EQ(unknown.length, 55);
}

TEST_F(DemoConnected, TypeBRequestResponseCondensesNinetyFiveBytes) {
    Reply poll;
    ASSERT_EQ(oPollISO14443_TypeBTag(card, poll.data(), &poll.length), QVR_SW_SUCCESS);
    Reply reply;
    EXPECT_EQ(statusText(oRequestResponseTypeB(card, reply.data(), &reply.length)), "0x9000");
    EXPECT_EQ(reply.text(), "02");
    // The other 94 bytes of the card's answer are cleared.
    EXPECT_EQ(std::count(reply.data() + 1, reply.data() + 95, 0), 94);
    EXPECT_EQ(reply.bytes[95], Reply::kUntouched);

    // The same command through oSendTo shows the whole answer.
    const Bytes command = hex("90 32 03 00 00 00");
    Reply whole;
    EXPECT_EQ(oSendTo(card, QVR_EXCHANGE_CARD_DATA, command.data(), 6, whole.data(), 1000, &whole.length),
              QVR_SW_SUCCESS);
    ASSERT_EQ(whole.length, 95);
    EXPECT_EQ(whole.bytes[0], 0x01);
    EXPECT_EQ(whole.bytes[94], 0x5F);
}

}  // namespace
}  // namespace qvr_e2e
