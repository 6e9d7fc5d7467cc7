// The probe's own PC/SC calls, on the scriptable PC/SC double: what it reports when
// the library could not connect, and that it leaves no context or handle behind.
#include <gtest/gtest.h>

#include "connection_check.h"
#include "pcsc_double.h"

namespace qvr::tools {
namespace {

namespace pd = pcsc_double;
const std::string kReader = "ACS ACR122U PICC Interface 00 00";

class ConnectDiagnosis : public ::testing::Test {
protected:
    void SetUp() override { pd::reset(); }
    void expectAllReleased() {
        EXPECT_EQ(pd::openContexts(), 0);
        EXPECT_EQ(pd::disconnected().size(), successfulConnects);
    }
    std::size_t successfulConnects = 0;
};

TEST_F(ConnectDiagnosis, EmptyFieldAndDirectRefusedNamesTheDirectConnect) {
    pd::connectInMode(SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD);
    pd::connectInMode(SCARD_SHARE_DIRECT, SCARD_E_SHARING_VIOLATION);
    const ConnectFailure failure = diagnoseConnect(kReader);
    EXPECT_EQ(failure.step, "connect to the reader directly (no tag present)");
    EXPECT_EQ(failure.error, SCARD_E_SHARING_VIOLATION);
    ASSERT_EQ(pd::connects().size(), 2u);
    EXPECT_EQ(pd::connects()[0].shareMode, static_cast<DWORD>(SCARD_SHARE_SHARED));
    EXPECT_EQ(pd::connects()[0].preferredProtocols, static_cast<DWORD>(SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1));
    EXPECT_EQ(pd::connects()[1].shareMode, static_cast<DWORD>(SCARD_SHARE_DIRECT));
    EXPECT_EQ(pd::connects()[1].reader, kReader);
    expectAllReleased();
}

TEST_F(ConnectDiagnosis, EmptyFieldWithDirectPossibleNamesTheSharedConnect) {
    pd::connectInMode(SCARD_SHARE_SHARED, SCARD_W_REMOVED_CARD);
    pd::connectInMode(SCARD_SHARE_DIRECT, SCARD_S_SUCCESS, 0x1234, 0);
    successfulConnects = 1;
    const ConnectFailure failure = diagnoseConnect(kReader);
    EXPECT_EQ(failure.step, "connect shared with T=0 or T=1");
    EXPECT_EQ(failure.error, SCARD_W_REMOVED_CARD);
    EXPECT_EQ(pd::disconnected(), std::vector<SCARDHANDLE>{0x1234});
    expectAllReleased();
}

TEST_F(ConnectDiagnosis, OtherSharedFailureTriesNoDirectConnect) {
    pd::connectInMode(SCARD_SHARE_SHARED, SCARD_W_SECURITY_VIOLATION);
    const ConnectFailure failure = diagnoseConnect(kReader);
    EXPECT_EQ(failure.step, "connect shared with T=0 or T=1");
    EXPECT_EQ(failure.error, SCARD_W_SECURITY_VIOLATION);
    EXPECT_EQ(pd::connects().size(), 1u);
    expectAllReleased();
}

TEST_F(ConnectDiagnosis, ConnectThatWorksNowIsReportedAsNoFailure) {
    successfulConnects = 1;
    EXPECT_TRUE(diagnoseConnect(kReader).step.empty());
    expectAllReleased();
}

TEST_F(ConnectDiagnosis, NoServiceIsTheContextsFailure) {
    pd::failNext(pd::Call::Establish, SCARD_E_NO_SERVICE);
    const ConnectFailure failure = diagnoseConnect(kReader);
    EXPECT_EQ(failure.step, "SCardEstablishContext");
    EXPECT_EQ(failure.error, SCARD_E_NO_SERVICE);
    EXPECT_TRUE(pd::connects().empty());
}

TEST(EscapeCheck, TriesTheCcidDriversNumberWhen3500IsUnknown) {
    pd::reset();
    pd::failNext(pd::Call::Control, SCARD_E_UNSUPPORTED_FEATURE);
    pd::replyWith(pd::hex("41 43 52 31 32 32 55 32 31 35"));
    EXPECT_EQ(tryEscape(0x2345), SCARD_S_SUCCESS);
    ASSERT_EQ(pd::controls().size(), 2u);
    EXPECT_EQ(pd::controls()[1].code, 0x42000001UL);  // SCARD_CTL_CODE(1) with pcsc-lite
    EXPECT_EQ(pd::hexOf(pd::controls()[1].sent), pd::hexOf(pd::hex("FF 00 48 00 00")));
}

TEST(EscapeCheck, SendsGetFirmwareThroughTheCcidEscapeAndReturnsTheRefusal) {
    pd::reset();
    pd::failTransmit(SCARD_E_NOT_TRANSACTED);
    EXPECT_EQ(tryEscape(0x2345), SCARD_E_NOT_TRANSACTED);
    ASSERT_EQ(pd::controls().size(), 1u);
    EXPECT_EQ(pd::controls()[0].card, static_cast<SCARDHANDLE>(0x2345));
    EXPECT_EQ(pd::controls()[0].code, 0x42000DACUL);  // SCARD_CTL_CODE(3500) with pcsc-lite
    EXPECT_EQ(pd::hexOf(pd::controls()[0].sent), pd::hexOf(pd::hex("FF 00 48 00 00")));
}

}  // namespace
}  // namespace qvr::tools
