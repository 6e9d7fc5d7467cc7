// Connecting, disconnecting and the reader name, through the exported functions of
// the shipped library on the PC/SC double.
#include <cstring>

#include "reader_api.h"
#include "wire_test_support.h"

namespace {

using namespace wire;
using pcsc_double::Call;

class Connection : public WireTest {};

// Linux's CCID driver offers the ACR122U only T=1, so the library asks for either
// protocol there; on Windows it asks for T=0 alone.
#ifdef _WIN32
constexpr DWORD kPreferredProtocols = SCARD_PROTOCOL_T0;
#else
constexpr DWORD kPreferredProtocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
#endif

TEST_F(Connection, ConnectsSharedToTheFirstReaderAndSendsNothing) {
    pcsc_double::setReaders({"First Reader 00 00", "Second Reader 00 01"});
    pcsc_double::setConnectResult(0x2345, SCARD_PROTOCOL_T0);
    EXPECT_EQ(oConnectPCSCReader(), 0x2345);
    ASSERT_EQ(pcsc_double::connects().size(), 1u);
    EXPECT_EQ(pcsc_double::connects()[0].reader, "First Reader 00 00");
    EXPECT_EQ(pcsc_double::connects()[0].shareMode, static_cast<DWORD>(SCARD_SHARE_SHARED));
    EXPECT_EQ(pcsc_double::connects()[0].preferredProtocols, kPreferredProtocols);
    expectNothingSent();
    EXPECT_EQ(pcsc_double::openContexts(), 1) << "the connection keeps its context";
    EXPECT_EQ(pcsc_double::outstandingReaderLists(), 0);
}

// What pcscd negotiates for the library's request with what the card and its driver
// offer (T=1 first when both are allowed), and the protocol information every command
// then goes with. Linux's CCID driver offers the ACR122U T=1 only.
struct Offer {
    const char* name;
    DWORD offered;
    DWORD negotiated;  // 0: no connection
};
PRINTS_AS_ITS_NAME(Offer)

class Offers : public WireTest, public ::testing::WithParamInterface<Offer> {};

TEST_P(Offers, CommandsGoWithTheNegotiatedProtocol) {
    const Offer& offer = GetParam();
    pcsc_double::offerProtocols(offer.offered);
    const std::int32_t card = oConnectPCSCReader();
    if (offer.negotiated == 0) {
        EXPECT_EQ(card, 0);
        EXPECT_EQ(pcsc_double::openContexts(), 0);
        return;
    }
    ASSERT_NE(card, 0);
    if (offer.negotiated == SCARD_PROTOCOL_T0) answer("61 08");
    answer("D5 03 32 01 06 07 90 00");
    std::uint8_t reply[QVR_REPLY_MAX];
    std::int32_t length = 0;
    EXPECT_EQ(oFirmwareVer(card, reply, &length), QVR_SW_SUCCESS);
    EXPECT_EQ(hexPrefix(reply, static_cast<std::size_t>(length)), "D5 03 32 01 06 07");
    if (offer.negotiated == SCARD_PROTOCOL_T1)
        expectWire({{"FF 00 00 00 02 D4 02", 1000}}, SCARD_PROTOCOL_T1);
    else
        expectWire({{"FF 00 00 00 02 D4 02", 4}, {"FF C0 00 00 08", 8}});
    EXPECT_EQ(oDisconnectPCSCReader(card), QVR_SW_SUCCESS);
}

// Where T=1 is offered, the library gets it on Linux; Windows asks for T=0 alone.
#ifdef _WIN32
constexpr DWORD kWhereT1IsOffered = 0;
constexpr DWORD kWhereBothAreOffered = SCARD_PROTOCOL_T0;
#else
constexpr DWORD kWhereT1IsOffered = SCARD_PROTOCOL_T1;
constexpr DWORD kWhereBothAreOffered = SCARD_PROTOCOL_T1;
#endif

INSTANTIATE_TEST_SUITE_P(
    CardAndDriver, Offers,
    ::testing::Values(Offer{"T1Only", SCARD_PROTOCOL_T1, kWhereT1IsOffered},
                      Offer{"Both", SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, kWhereBothAreOffered},
                      Offer{"T0Only", SCARD_PROTOCOL_T0, SCARD_PROTOCOL_T0},
                      Offer{"RawOnly", SCARD_PROTOCOL_RAW, 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(Connection, DisconnectForgetsTheProtocol) {
    pcsc_double::setConnectResult(0x4321, SCARD_PROTOCOL_T1);
    ASSERT_EQ(oConnectPCSCReader(), 0x4321);
    EXPECT_EQ(oDisconnectPCSCReader(0x4321), QVR_SW_SUCCESS);
    // The platform may hand out the same value for a T=0 connection later.
    pcsc_double::setConnectResult(0x4321, SCARD_PROTOCOL_T0);
    ASSERT_EQ(oConnectPCSCReader(), 0x4321);
    answer("90 00");
    std::uint8_t reply[QVR_REPLY_MAX];
    std::int32_t length = 0;
    EXPECT_EQ(oFirmwareVer(0x4321, reply, &length), QVR_SW_SUCCESS);
    expectWire({{"FF 00 00 00 02 D4 02", 4}});
    EXPECT_EQ(oDisconnectPCSCReader(0x4321), QVR_SW_SUCCESS);
}

TEST_F(Connection, NegativeThirtyTwoBitHandlesSurvive) {
    pcsc_double::setConnectResult(static_cast<SCARDHANDLE>(-5), SCARD_PROTOCOL_T0);
    EXPECT_EQ(oConnectPCSCReader(), -5);
}

struct ConnectFailure {
    const char* name;
    Call call;
    LONG code;
};
PRINTS_AS_ITS_NAME(ConnectFailure)

class ConnectFailures : public WireTest, public ::testing::WithParamInterface<ConnectFailure> {};

TEST_P(ConnectFailures, GiveZeroAndReleaseTheContext) {
    pcsc_double::failNext(GetParam().call, GetParam().code);
    EXPECT_EQ(oConnectPCSCReader(), 0);
    EXPECT_EQ(pcsc_double::openContexts(), 0);
    EXPECT_EQ(pcsc_double::outstandingReaderLists(), 0);
    EXPECT_TRUE(pcsc_double::disconnected().empty());
    expectNothingSent();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ConnectFailures,
    ::testing::Values(ConnectFailure{"Context", Call::Establish, SCARD_E_NO_SERVICE},
                      ConnectFailure{"List", Call::ListReaders, SCARD_E_NO_READERS_AVAILABLE},
                      ConnectFailure{"Connect", Call::Connect, SCARD_E_SHARING_VIOLATION}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(Connection, NoReaderGivesZero) {
    pcsc_double::setReaders({});
    EXPECT_EQ(oConnectPCSCReader(), 0);
    EXPECT_EQ(pcsc_double::openContexts(), 0);
}

struct OtherProtocol {
    const char* name;
    DWORD active;
};
PRINTS_AS_ITS_NAME(OtherProtocol)

class OtherProtocols : public WireTest, public ::testing::WithParamInterface<OtherProtocol> {};

TEST_P(OtherProtocols, AreDisconnectedAndRefused) {
    pcsc_double::setConnectResult(0x77, GetParam().active);
    EXPECT_EQ(oConnectPCSCReader(), 0);
    EXPECT_EQ(pcsc_double::disconnected(), std::vector<SCARDHANDLE>{0x77});
    EXPECT_EQ(pcsc_double::dispositions(), std::vector<DWORD>{SCARD_LEAVE_CARD});
    EXPECT_EQ(pcsc_double::openContexts(), 0);
    expectNothingSent();
}

INSTANTIATE_TEST_SUITE_P(
    NeitherT0NorT1, OtherProtocols,
    ::testing::Values(OtherProtocol{"Raw", SCARD_PROTOCOL_RAW}, OtherProtocol{"Undefined", 0},
                      OtherProtocol{"BothBits", SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(Connection, HandleWiderThan32BitsIsDisconnectedAndRefused) {
    if (sizeof(SCARDHANDLE) <= sizeof(std::int32_t)) GTEST_SKIP() << "handles are 32 bits wide here";
    const SCARDHANDLE wide = static_cast<SCARDHANDLE>(0x1'0000'0001LL);
    pcsc_double::setConnectResult(wide, SCARD_PROTOCOL_T0);
    EXPECT_EQ(oConnectPCSCReader(), 0);
    EXPECT_EQ(pcsc_double::disconnected(), std::vector<SCARDHANDLE>{wide});
    EXPECT_EQ(pcsc_double::openContexts(), 0);
}

TEST_F(Connection, ReaderNameLongerThanTheRecordIsRefused) {
    pcsc_double::setReaders({std::string(17900, 'R')});
    EXPECT_EQ(oConnectPCSCReader(), 0);
    EXPECT_TRUE(pcsc_double::connects().empty());
    EXPECT_EQ(pcsc_double::openContexts(), 0);
    pcsc_double::setReaders({std::string(17899, 'R')});
    EXPECT_NE(oConnectPCSCReader(), 0);
}

TEST_F(Connection, DisconnectUnpowersAndReleasesTheContext) {
    pcsc_double::setConnectResult(0x4321, SCARD_PROTOCOL_T0);
    ASSERT_EQ(oConnectPCSCReader(), 0x4321);
    EXPECT_EQ(oDisconnectPCSCReader(0x4321), QVR_SW_SUCCESS);
    EXPECT_EQ(pcsc_double::dispositions(), std::vector<DWORD>{SCARD_UNPOWER_CARD});
    EXPECT_EQ(pcsc_double::openContexts(), 0);
}

TEST_F(Connection, DisconnectOfAStaleHandleGivesZeroButStillReleasesTheContext) {
    pcsc_double::setConnectResult(0x4321, SCARD_PROTOCOL_T0);
    ASSERT_EQ(oConnectPCSCReader(), 0x4321);
    pcsc_double::failNext(Call::Disconnect, SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(oDisconnectPCSCReader(0x4321), QVR_FAILED);
    EXPECT_EQ(pcsc_double::openContexts(), 0);
    pcsc_double::failNext(Call::Disconnect, SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(oDisconnectPCSCReader(0x4321), QVR_FAILED);
}

TEST_F(Connection, EachConnectKeepsItsOwnContextUntilItsDisconnect) {
    pcsc_double::setConnectResult(0x10, SCARD_PROTOCOL_T0);
    ASSERT_EQ(oConnectPCSCReader(), 0x10);
    pcsc_double::setConnectResult(0x20, SCARD_PROTOCOL_T0);
    ASSERT_EQ(oConnectPCSCReader(), 0x20);
    EXPECT_EQ(pcsc_double::openContexts(), 2);
    EXPECT_EQ(oDisconnectPCSCReader(0x10), QVR_SW_SUCCESS);
    EXPECT_EQ(pcsc_double::openContexts(), 1);
    EXPECT_EQ(oDisconnectPCSCReader(0x20), QVR_SW_SUCCESS);
    EXPECT_EQ(pcsc_double::openContexts(), 0);
}

TEST_F(Connection, ReaderNameCopiesTheFirstNameAndReleasesItsContext) {
    pcsc_double::setReaders({"ACS ACR122U PICC Interface 00 00", "Other 00 01"});
    char name[QVR_NAME_BUFFER_SIZE];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(oPCSCReaderName(name), 1);
    EXPECT_STREQ(name, "ACS ACR122U PICC Interface 00 00");
    EXPECT_EQ(name[33], 'x');
    EXPECT_EQ(pcsc_double::openContexts(), 0);
    EXPECT_EQ(pcsc_double::outstandingReaderLists(), 0);
}

TEST_F(Connection, ReaderNameFailuresLeaveTheBufferUntouched) {
    char name[300];
    auto untouched = [&] {
        for (char c : name)
            if (c != 'x') return false;
        return true;
    };
    std::memset(name, 'x', sizeof name);

    pcsc_double::setReaders({});
    EXPECT_EQ(oPCSCReaderName(name), 0);
    pcsc_double::setReaders({"Reader"});
    pcsc_double::failNext(Call::Establish, SCARD_E_NO_SERVICE);
    EXPECT_EQ(oPCSCReaderName(name), 0);
    pcsc_double::failNext(Call::ListReaders, SCARD_E_NO_SERVICE);
    EXPECT_EQ(oPCSCReaderName(name), 0);
    // 199 characters and the NUL fill 200 bytes; one more does not fit.
    pcsc_double::setReaders({std::string(200, 'N')});
    EXPECT_EQ(oPCSCReaderName(name), 0);
    EXPECT_TRUE(untouched());
    EXPECT_EQ(pcsc_double::openContexts(), 0);

    pcsc_double::setReaders({std::string(199, 'N')});
    EXPECT_EQ(oPCSCReaderName(name), 1);
    EXPECT_EQ(name[199], '\0');
    EXPECT_EQ(name[200], 'x');
    EXPECT_EQ(oPCSCReaderName(nullptr), 0);
}

}  // namespace
