// The direct connection: with no card in the field the CCID driver refuses a shared
// connect, so the library connects directly to the reader and sends every command
// through the CCID escape. Callers must see exactly what a card connection gives
// them for the same answer of the reader.
#include <array>
#include <functional>

#include "reader_api.h"
#include "wire_test_support.h"

namespace {

using namespace wire;
using pcsc_double::Call;

constexpr SCARDHANDLE kDirectHandle = 0x3C4D;
constexpr std::uint8_t kUntouched = 0xEE;

#ifdef _WIN32
constexpr DWORD kEscapeCode = SCARD_CTL_CODE(3500);
#else
constexpr DWORD kEscapeCode = 0x42000DAC;  // pcsc-lite's SCARD_CTL_CODE(3500)
#endif

// The field is empty: the shared connect is refused as the CCID driver refuses it,
// the direct one succeeds without a protocol.
std::int32_t connectWithEmptyField(LONG refusal = SCARD_E_NO_SMARTCARD) {
    pcsc_double::connectInMode(SCARD_SHARE_SHARED, refusal);
    pcsc_double::connectInMode(SCARD_SHARE_DIRECT, SCARD_S_SUCCESS, kDirectHandle, 0);
    return oConnectPCSCReader();
}

// ---- Connecting ---------------------------------------------------------------------

struct Refusal {
    const char* name;
    LONG code;
};
PRINTS_AS_ITS_NAME(Refusal)

std::string refusalName(const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; }

class DirectFallback : public WireTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(DirectFallback, ConnectsDirectlyWithoutProtocolAndSendsNothing) {
    pcsc_double::setReaders({"ACS ACR122U PICC Interface 00 00", "Other 00 01"});
    EXPECT_EQ(connectWithEmptyField(GetParam().code), static_cast<std::int32_t>(kDirectHandle));
    const auto& connects = pcsc_double::connects();
    ASSERT_EQ(connects.size(), 2u);
    EXPECT_EQ(connects[0].shareMode, static_cast<DWORD>(SCARD_SHARE_SHARED));
    EXPECT_EQ(connects[1].reader, "ACS ACR122U PICC Interface 00 00");
    EXPECT_EQ(connects[1].shareMode, static_cast<DWORD>(SCARD_SHARE_DIRECT));
    EXPECT_EQ(connects[1].preferredProtocols, 0u);
    EXPECT_TRUE(pcsc_double::transmits().empty());
    EXPECT_TRUE(pcsc_double::controls().empty());
    EXPECT_EQ(pcsc_double::openContexts(), 1) << "the connection keeps its context";
    EXPECT_EQ(oDisconnectPCSCReader(static_cast<std::int32_t>(kDirectHandle)), QVR_SW_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(EmptyField, DirectFallback,
                         ::testing::Values(Refusal{"NoSmartcard", SCARD_E_NO_SMARTCARD},
                                           Refusal{"RemovedCard", SCARD_W_REMOVED_CARD}),
                         refusalName);

class NoFallback : public WireTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(NoFallback, OtherRefusalsGiveZeroAfterOneConnect) {
    EXPECT_EQ(connectWithEmptyField(GetParam().code), 0);
    EXPECT_EQ(pcsc_double::connects().size(), 1u);
    EXPECT_EQ(pcsc_double::openContexts(), 0);
    EXPECT_TRUE(pcsc_double::disconnected().empty());
}

INSTANTIATE_TEST_SUITE_P(OtherCodes, NoFallback,
                         ::testing::Values(Refusal{"SharingViolation", SCARD_E_SHARING_VIOLATION},
                                           Refusal{"NoReadersAvailable", SCARD_E_NO_READERS_AVAILABLE},
                                           Refusal{"UnknownReader", SCARD_E_UNKNOWN_READER},
                                           Refusal{"ReaderUnavailable", SCARD_E_READER_UNAVAILABLE},
                                           Refusal{"UnresponsiveCard", SCARD_W_UNRESPONSIVE_CARD}),
                         refusalName);

TEST_F(WireTest, RefusedDirectConnectGivesZeroAndReleasesTheContext) {
    pcsc_double::connectInMode(SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD);
    pcsc_double::connectInMode(SCARD_SHARE_DIRECT, SCARD_E_SHARING_VIOLATION);
    EXPECT_EQ(oConnectPCSCReader(), 0);
    EXPECT_EQ(pcsc_double::connects().size(), 2u);
    EXPECT_EQ(pcsc_double::openContexts(), 0);
    EXPECT_TRUE(pcsc_double::disconnected().empty());
}

TEST_F(WireTest, DirectHandleWiderThan32BitsIsDisconnectedAndRefused) {
    if (sizeof(SCARDHANDLE) <= sizeof(std::int32_t)) GTEST_SKIP() << "handles are 32 bits wide here";
    const auto wide = static_cast<SCARDHANDLE>(0x1'0000'0001LL);
    pcsc_double::connectInMode(SCARD_SHARE_SHARED, SCARD_W_REMOVED_CARD);
    pcsc_double::connectInMode(SCARD_SHARE_DIRECT, SCARD_S_SUCCESS, wide, 0);
    EXPECT_EQ(oConnectPCSCReader(), 0);
    EXPECT_EQ(pcsc_double::disconnected(), std::vector<SCARDHANDLE>{wide});
    EXPECT_EQ(pcsc_double::openContexts(), 0);
}

TEST_F(WireTest, DisconnectOfADirectHandleForgetsThatItWasDirect) {
    const std::int32_t card = connectWithEmptyField();
    EXPECT_EQ(oDisconnectPCSCReader(card), QVR_SW_SUCCESS);
    EXPECT_EQ(pcsc_double::disconnected(), std::vector<SCARDHANDLE>{kDirectHandle});
    EXPECT_EQ(pcsc_double::dispositions(), std::vector<DWORD>{SCARD_UNPOWER_CARD});
    EXPECT_EQ(pcsc_double::openContexts(), 0);

    // The platform may hand out the same value for a card connection later.
    pcsc_double::connectInMode(SCARD_SHARE_SHARED, SCARD_S_SUCCESS, kDirectHandle, SCARD_PROTOCOL_T0);
    ASSERT_EQ(oConnectPCSCReader(), card);
    answer("90 00");
    std::array<std::uint8_t, 251> reply{};
    std::int32_t length = 0;
    EXPECT_EQ(oFirmwareVer(card, reply.data(), &length), QVR_SW_SUCCESS);
    EXPECT_EQ(pcsc_double::transmits().size(), 1u);
    EXPECT_TRUE(pcsc_double::controls().empty());
    EXPECT_EQ(oDisconnectPCSCReader(card), QVR_SW_SUCCESS);
}

// ---- The escape on the wire ---------------------------------------------------------

TEST_F(WireTest, CommandsGoThroughTheEscapeIntoTheWholeEngineBuffer) {
    const std::int32_t card = connectWithEmptyField();
    pcsc_double::replyWith(hex("D5 03 32 01 06 07 90 00"));
    std::array<std::uint8_t, 251> reply{};
    std::int32_t length = 0;
    EXPECT_EQ(oFirmwareVer(card, reply.data(), &length), QVR_SW_SUCCESS);
    EXPECT_EQ(hexPrefix(reply.data(), static_cast<std::size_t>(length)), "D5 03 32 01 06 07");
    ASSERT_EQ(pcsc_double::controls().size(), 1u) << "one escape, no GET RESPONSE";
    const pcsc_double::Control& sent = pcsc_double::controls()[0];
    EXPECT_EQ(sent.card, kDirectHandle);
    EXPECT_EQ(sent.code, kEscapeCode);
    EXPECT_EQ(hexOf(sent.sent), "FF 00 00 00 02 D4 02");
    EXPECT_EQ(sent.capacity, 1000u);
    EXPECT_TRUE(pcsc_double::transmits().empty());
    oDisconnectPCSCReader(card);
}

TEST_F(WireTest, RefusedOrShortEscapeIsATransportFailure) {
    const std::int32_t card = connectWithEmptyField();
    std::array<std::uint8_t, 251> reply{};
    reply.fill(kUntouched);
    std::int32_t length = 5;
    std::uint8_t found = 0x77;
    const Bytes command = hex("00 B0 00 00 02");

    // The CCID driver refuses the escape unless its option allows it; pcscd then
    // reports the driver's communication error.
    pcsc_double::failNext(Call::Control, SCARD_E_NOT_TRANSACTED);
    EXPECT_EQ(oFirmwareVer(card, reply.data(), &length), QVR_TRANSPORT_FAILED);
    EXPECT_EQ(length, 0);
    pcsc_double::failNext(Call::Control, SCARD_E_NOT_TRANSACTED);
    EXPECT_EQ(oPollingTags(card, reply.data(), &length, &found, "01"), QVR_TRANSPORT_FAILED);
    EXPECT_EQ(found, 0x77);
    pcsc_double::failNext(Call::Control, SCARD_E_NOT_TRANSACTED);
    EXPECT_EQ(oSendTo(card, QVR_EXCHANGE_RAW, command.data(), 5, reply.data(), 100, &length), 0);
    // An answer without a whole status word.
    pcsc_double::replyWith(hex("90"));
    EXPECT_EQ(oSendTo(card, QVR_EXCHANGE_CARD_DATA, command.data(), 5, reply.data(), 1000, &length), QVR_TRANSPORT_FAILED);
    pcsc_double::replyWith(hex("90"));
    EXPECT_EQ(oSendTo(card, QVR_EXCHANGE_RAW, command.data(), 5, reply.data(), 100, &length), 0);
    EXPECT_EQ(reply[0], kUntouched);
    oDisconnectPCSCReader(card);
}

// Linux's CCID driver numbers its escape 1 and calls 3500 an unsupported feature:
// the same bytes then go once more under its number, and the handle keeps the
// number its driver took; no other refusal is retried.
TEST_F(WireTest, EscapeNumberTheDriverTookIsKeptForTheHandle) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' CCID drivers know the escape only as 3500";
#endif
    const std::int32_t card = connectWithEmptyField();
    std::array<std::uint8_t, 251> reply{};
    std::int32_t length = 0;
    pcsc_double::failNext(Call::Control, SCARD_E_UNSUPPORTED_FEATURE);
    answer("D5 03 32 01 06 07 90 00");
    EXPECT_EQ(oFirmwareVer(card, reply.data(), &length), QVR_SW_SUCCESS);
    EXPECT_EQ(hexPrefix(reply.data(), static_cast<std::size_t>(length)), "D5 03 32 01 06 07");
    answer("D5 33 90 00");
    EXPECT_EQ(oConfigureReader(card, reply.data(), &length), QVR_SW_SUCCESS);
    const auto& controls = pcsc_double::controls();
    ASSERT_EQ(controls.size(), 3u) << "three calls for two commands";
    EXPECT_EQ(controls[0].code, kEscapeCode);
    EXPECT_EQ(controls[1].code, 0x42000001u);
    EXPECT_EQ(hexOf(controls[1].sent), "FF 00 00 00 02 D4 02");
    EXPECT_EQ(controls[2].code, 0x42000001u);

    pcsc_double::failNext(Call::Control, SCARD_E_UNSUPPORTED_FEATURE);
    EXPECT_EQ(oFirmwareVer(card, reply.data(), &length), QVR_TRANSPORT_FAILED);
    pcsc_double::failNext(Call::Control, SCARD_E_NOT_TRANSACTED);
    EXPECT_EQ(oFirmwareVer(card, reply.data(), &length), QVR_TRANSPORT_FAILED);
    EXPECT_EQ(controls.size(), 5u) << "each refusal of the kept number is final";
    EXPECT_EQ(controls[4].code, 0x42000001u);
    oDisconnectPCSCReader(card);

    // A new connection starts again with 3500, also under the same handle value.
    const std::int32_t again = connectWithEmptyField();
    answer("D5 33 90 00");
    EXPECT_EQ(oConfigureReader(again, reply.data(), &length), QVR_SW_SUCCESS);
    EXPECT_EQ(controls.back().code, kEscapeCode);
    oDisconnectPCSCReader(again);
}

TEST_F(WireTest, EscapeNumberTheDriverRefusedIsNotKept) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' CCID drivers know the escape only as 3500";
#endif
    const std::int32_t card = connectWithEmptyField();
    std::array<std::uint8_t, 251> reply{};
    std::int32_t length = 0;
    // The CCID driver without its escape option: 3500 unknown, 1 not allowed.
    pcsc_double::failNext(Call::Control, SCARD_E_UNSUPPORTED_FEATURE);
    pcsc_double::failTransmit(SCARD_E_NOT_TRANSACTED);
    EXPECT_EQ(oFirmwareVer(card, reply.data(), &length), QVR_TRANSPORT_FAILED);
    EXPECT_EQ(pcsc_double::controls().size(), 2u);
    pcsc_double::failAll(Call::Control, SCARD_E_UNSUPPORTED_FEATURE);
    EXPECT_EQ(oFirmwareVer(card, reply.data(), &length), QVR_TRANSPORT_FAILED);
    EXPECT_EQ(pcsc_double::controls().size(), 4u) << "one retry, not a loop";
    pcsc_double::failAll(Call::Control, SCARD_S_SUCCESS);
    answer("D5 33 90 00");
    EXPECT_EQ(oConfigureReader(card, reply.data(), &length), QVR_SW_SUCCESS);
    ASSERT_EQ(pcsc_double::controls().size(), 5u);
    EXPECT_EQ(pcsc_double::controls()[4].code, kEscapeCode);
    oDisconnectPCSCReader(card);
}

TEST_F(WireTest, RawExchangeDeliversTheWholeAnswerWithinTheCallersCapacity) {
    const std::int32_t card = connectWithEmptyField();
    const Bytes command = hex("FF CA 00 00 00");
    std::array<std::uint8_t, 16> reply{};
    reply.fill(kUntouched);
    std::int32_t length = 5;
    pcsc_double::replyWith(hex("04 A1 B2 C3 90 00"));
    EXPECT_EQ(oSendTo(card, QVR_EXCHANGE_RAW, command.data(), 5, reply.data(), 6, &length), 6);
    EXPECT_EQ(hexPrefix(reply.data(), 7), "04 A1 B2 C3 90 00 EE");
    EXPECT_EQ(length, 0);
    reply.fill(kUntouched);
    pcsc_double::replyWith(hex("04 A1 B2 C3 90 00"));
    EXPECT_EQ(oSendTo(card, QVR_EXCHANGE_RAW, command.data(), 5, reply.data(), 5, &length), 0);
    EXPECT_EQ(reply[0], kUntouched);
    EXPECT_EQ(pcsc_double::controls().back().capacity, 1000u);
    oDisconnectPCSCReader(card);
}

TEST_F(WireTest, LongWholeAnswerStillDeliversAtMost251Bytes) {
    const std::int32_t card = connectWithEmptyField();
    Bytes whole = hex("D5 41 00");
    whole.resize(600, 0x5A);
    whole.push_back(0x90);
    whole.push_back(0x00);
    pcsc_double::replyWith(whole);
    const Bytes command = hex("00 B0 00 00 00");
    std::array<std::uint8_t, 300> reply{};
    reply.fill(kUntouched);
    std::int32_t length = 0;
    EXPECT_EQ(oSendTo(card, QVR_EXCHANGE_CARD_ANSWER, command.data(), 5, reply.data(), 4, &length), QVR_SW_SUCCESS);
    EXPECT_EQ(length, 251);
    EXPECT_EQ(reply[251], kUntouched);
    oDisconnectPCSCReader(card);
}

}  // namespace
