// Choosing the reader by name: QVR_ACR122_READER picks the first listed reader whose
// name contains its text, for connecting and for the reader name alike.
#include <cstring>

#include "reader_api.h"
#include "wire_test_support.h"

namespace {

using namespace wire;

constexpr const char* kVirtual = "Virtual PCD 00 00";
constexpr const char* kReal = "ACS ACR122U PICC Interface 00 00";
constexpr const char* kSecondReal = "ACS ACR122U PICC Interface 01 00";

class ReaderChoice : public WireTest {
protected:
    void SetUp() override {
        WireTest::SetUp();
        pcsc_double::setReaders({kVirtual, kReal, kSecondReal});
    }
    void TearDown() override {
        setEnvironment("QVR_ACR122_READER", nullptr);
        WireTest::TearDown();
    }
    std::string connectedReader() {
        const std::int32_t card = oConnectPCSCReader();
        if (card == 0) return "";
        oDisconnectPCSCReader(card);
        return pcsc_double::connects().back().reader;
    }
    std::string readerName() {
        char name[QVR_NAME_BUFFER_SIZE];
        return oPCSCReaderName(name) == 1 ? name : "";
    }
};

TEST_F(ReaderChoice, FirstReaderContainingTheTextIsUsed) {
    setEnvironment("QVR_ACR122_READER", "ACR122U");
    EXPECT_EQ(connectedReader(), kReal);
    EXPECT_EQ(readerName(), kReal);
    setEnvironment("QVR_ACR122_READER", "01 00");
    EXPECT_EQ(connectedReader(), kSecondReal) << "the setting is read at each call";
    EXPECT_EQ(readerName(), kSecondReal);
}

TEST_F(ReaderChoice, UnsetOrEmptyMeansTheFirstReader) {
    EXPECT_EQ(connectedReader(), kVirtual);
    setEnvironment("QVR_ACR122_READER", "");
    EXPECT_EQ(connectedReader(), kVirtual);
    EXPECT_EQ(readerName(), kVirtual);
}

TEST_F(ReaderChoice, NoMatchFailsAsWithNoReader) {
    setEnvironment("QVR_ACR122_READER", "acr122u");  // the comparison is case-sensitive
    EXPECT_EQ(oConnectPCSCReader(), 0);
    EXPECT_TRUE(pcsc_double::connects().empty());
    char name[QVR_NAME_BUFFER_SIZE];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(oPCSCReaderName(name), 0);
    EXPECT_EQ(name[0], 'x');
    EXPECT_EQ(pcsc_double::openContexts(), 0);
    EXPECT_EQ(pcsc_double::outstandingReaderLists(), 0);
}

TEST_F(ReaderChoice, TheChosenNameMustFitTheCallersBuffer) {
    const std::string longName = "Long " + std::string(195, 'N');  // 200 characters
    pcsc_double::setReaders({kVirtual, longName});
    setEnvironment("QVR_ACR122_READER", "Long");
    char name[300];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(oPCSCReaderName(name), 0);
    EXPECT_EQ(name[0], 'x');
    EXPECT_EQ(connectedReader(), longName) << "the connect's own buffer is larger";
}

}  // namespace
