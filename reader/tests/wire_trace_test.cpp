// The wire trace. The library reads QVR_ACR122_TRACE once per process, so every case
// runs its exchange in a child process of its own (a gtest death-test child) with
// the setting it needs; the parent reads what the child wrote.
#include <unistd.h>

#include <array>
#include <fstream>
#include <regex>
#include <sstream>

#include "reader_api.h"
#include "wire_test_support.h"

namespace {

using namespace wire;

// The same exchange in every child: a card connection with a fetched answer, then a
// direct connection whose escape answers whole. Exits 0 only when every result,
// reply and byte on the wire is what an untraced library gives.
[[noreturn]] void exchangeAndExit(const char* setting) {
    setEnvironment("QVR_ACR122_TRACE", setting);
    pcsc_double::reset();
    pcsc_double::setConnectResult(0x1A2B, SCARD_PROTOCOL_T0);
    const std::int32_t card = oConnectPCSCReader();
    answer("61 08");
    answer("D5 03 32 01 06 07 90 00");
    std::array<std::uint8_t, 251> reply{};
    std::int32_t length = 0;
    bool same = card == 0x1A2B && oFirmwareVer(card, reply.data(), &length) == 0x9000 &&
                length == 6 && hexPrefix(reply.data(), 6) == "D5 03 32 01 06 07";
    same = same && pcsc_double::transmits().size() == 2 &&
           hexOf(pcsc_double::transmits()[1].sent) == "FF C0 00 00 08";

    pcsc_double::connectInMode(SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD);
    pcsc_double::connectInMode(SCARD_SHARE_DIRECT, SCARD_S_SUCCESS, 0x3C4D, 0);
    const std::int32_t direct = oConnectPCSCReader();
    answer("D5 45 00 90 00");
    same = same && direct == 0x3C4D && oDeSelectTag(direct, reply.data(), &length) == 0x9000 &&
           length == 3 && pcsc_double::controls().size() == 1 &&
           hexOf(pcsc_double::controls()[0].sent) == "FF 00 00 00 03 D4 44 01";
    same = same && oDisconnectPCSCReader(direct) == 0x9000 && oDisconnectPCSCReader(card) == 0x9000;
    std::_Exit(same ? 0 : 1);
}

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class WireTrace : public ::testing::Test {
protected:
    // The child runs the test again from the start, SetUp included: the parent
    // hands it the file's name through the environment.
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (const char* given = std::getenv("QVR_TRACE_TEST_FILE")) {
            path_ = given;
        } else {
            path_ = ::testing::TempDir() + "qvr-trace-" + std::to_string(::getpid()) + ".log";
            setEnvironment("QVR_TRACE_TEST_FILE", path_.c_str());
        }
        std::remove(path_.c_str());
    }
    void TearDown() override {
        std::remove(path_.c_str());
        setEnvironment("QVR_TRACE_TEST_FILE", nullptr);
    }
    std::string path_;
};

const std::string kTime = R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{6}Z)";

TEST_F(WireTrace, FileGetsOneLinePerPlatformCall) {
    EXPECT_EXIT(exchangeAndExit(path_.c_str()), ::testing::ExitedWithCode(0), "");
    const std::string trace = readFile(path_);
    const auto line = [&](const std::string& pattern) {
        return std::regex_search(trace, std::regex("(^|\n)" + kTime + " " + pattern + "\n"));
    };
    EXPECT_TRUE(line(R"(handle=0x00001A2B transmit sent=FF00000002D402 received=6108 result=0x00000000 SCARD_S_SUCCESS)"))
        << trace;
    EXPECT_TRUE(line(R"(handle=0x00001A2B transmit sent=FFC0000008 received=D503320106079000 result=0x00000000 SCARD_S_SUCCESS)"));
    EXPECT_TRUE(line(R"(handle=0x00000000 connect shared protocols=1 active=0 reader="ACS ACR122U PICC Interface 00 00" sent= received= result=0x8010000C SCARD_E_NO_SMARTCARD)"));
    EXPECT_TRUE(line(R"(handle=0x00003C4D connect direct protocols=0 active=0 reader="[^"]+" sent= received= result=0x00000000 SCARD_S_SUCCESS)"));
    EXPECT_TRUE(line(R"(handle=0x00003C4D control sent=FF00000003D44401 received=D545009000 result=0x00000000 SCARD_S_SUCCESS)"));
    EXPECT_TRUE(line(R"(handle=0x00003C4D disconnect unpower sent= received= result=0x00000000 SCARD_S_SUCCESS)"));
    EXPECT_TRUE(line(R"(handle=0x[0-9A-F]{8} establish sent= received= result=0x00000000 SCARD_S_SUCCESS)"));
    // Every line has the same shape, and nothing else is in the file.
    const std::regex shape("(" + kTime + R"( handle=0x[0-9A-F]{8} [a-z-]+( [^\n]*)? sent=[0-9A-F]* received=[0-9A-F]* result=0x[0-9A-F]{8} [A-Z_]+\n)+)");
    EXPECT_TRUE(std::regex_match(trace, shape)) << trace;
}

TEST_F(WireTrace, StandardErrorGetsTheLines) {
    EXPECT_EXIT(exchangeAndExit("stderr"), ::testing::ExitedWithCode(0),
                "handle=0x00003C4D control sent=FF00000003D44401 received=D54500900");
}

TEST_F(WireTrace, SinkThatCannotBeOpenedChangesNothing) {
    const std::string unopenable = path_ + ".d/missing/trace.log";
    EXPECT_EXIT(exchangeAndExit(unopenable.c_str()), ::testing::ExitedWithCode(0), "^$");
}

TEST_F(WireTrace, UnsetTraceWritesNothing) {
    EXPECT_EXIT(exchangeAndExit(nullptr), ::testing::ExitedWithCode(0), "^$");
}

}  // namespace
