// The wire trace. The library reads QVR_ACR122_TRACE once per process, so every case
// runs its exchange in a child process of its own (a gtest death-test child) with
// the setting it needs; the parent reads what the child wrote.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

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

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// Characters matching a shape: '9' a decimal digit, '#' a hex digit (upper case),
// any other character itself.
bool shaped(const std::string& text, const std::string& shape) {
    if (text.size() != shape.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (shape[i] == '9' ? !std::isdigit(c)
            : shape[i] == '#' ? !(std::isdigit(c) || (c >= 'A' && c <= 'F'))
                              : text[i] != shape[i])
            return false;
    }
    return true;
}

bool hexBytes(const std::string& text) {
    return text.size() % 2 == 0 && shaped(text, std::string(text.size(), '#'));
}

// UTC time with microseconds, handle, operation (and its note), the bytes both ways
// in hex, the result code and its name.
bool wellFormed(const std::string& line) {
    const std::size_t sent = line.find(" sent=");
    const std::size_t received = line.find(" received=");
    const std::size_t result = line.find(" result=0x");
    if (line.size() < 50 || sent == std::string::npos || received == std::string::npos ||
        result == std::string::npos || !(sent < received && received < result))
        return false;
    const std::string start = "9999-99-99T99:99:99.999999Z handle=0x######## ";
    const std::string code = " result=0x######## ";
    const std::string name = line.substr(std::min(line.size(), result + code.size()));
    return shaped(line.substr(0, start.size()), start) &&
           hexBytes(line.substr(sent + 6, received - sent - 6)) &&
           hexBytes(line.substr(received + 10, result - received - 10)) &&
           shaped(line.substr(result, code.size()), code) && name.rfind("SCARD_", 0) == 0;
}

// A line that, after its time stamp, starts with head and ends with tail.
bool hasLine(const std::vector<std::string>& lines, const std::string& head, const std::string& tail = "") {
    for (const std::string& line : lines) {
        if (line.size() < 28) continue;
        const std::string rest = line.substr(28);
        if (rest.rfind(head, 0) == 0 && rest.size() >= head.size() + tail.size() &&
            rest.compare(rest.size() - tail.size(), tail.size(), tail) == 0)
            return true;
    }
    return false;
}

TEST_F(WireTrace, FileGetsOneLinePerPlatformCall) {
    EXPECT_EXIT(exchangeAndExit(path_.c_str()), ::testing::ExitedWithCode(0), "");
    const std::string trace = readFile(path_);
    const std::vector<std::string> lines = linesOf(trace);
    EXPECT_TRUE(hasLine(lines, "handle=0x00001A2B transmit sent=FF00000002D402 received=6108 "
                               "result=0x00000000 SCARD_S_SUCCESS"))
        << trace;
    EXPECT_TRUE(hasLine(lines, "handle=0x00001A2B transmit sent=FFC0000008 received=D503320106079000 "
                               "result=0x00000000 SCARD_S_SUCCESS"));
    EXPECT_TRUE(hasLine(lines, "handle=0x00000000 connect shared protocols=3 active=0 reader=\"ACS ACR122U "
                               "PICC Interface 00 00\" sent= received= result=0x8010000C SCARD_E_NO_SMARTCARD"));
    EXPECT_TRUE(hasLine(lines, "handle=0x00003C4D connect direct protocols=0 active=0 reader=\"",
                        "\" sent= received= result=0x00000000 SCARD_S_SUCCESS"));
    EXPECT_TRUE(hasLine(lines, "handle=0x00003C4D control sent=FF00000003D44401 received=D545009000 "
                               "result=0x00000000 SCARD_S_SUCCESS"));
    EXPECT_TRUE(hasLine(lines, "handle=0x00003C4D disconnect unpower sent= received= "
                               "result=0x00000000 SCARD_S_SUCCESS"));
    EXPECT_TRUE(hasLine(lines, "handle=0x", " establish sent= received= result=0x00000000 SCARD_S_SUCCESS"));
    EXPECT_TRUE(trace.empty() || trace.back() == '\n');
    for (const std::string& line : lines) EXPECT_TRUE(wellFormed(line)) << line;
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
