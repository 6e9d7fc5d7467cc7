// The idle rig costs no measurable CPU: umockdev's device node is a regular file that
// poll() always reports ready, which would let libusb in pcscd reap in a busy loop;
// the reader keeps its node a FIFO that is ready only while a URB can be reaped.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "e2e_test_support.h"

namespace vreader::e2e {
namespace {

long recordedPid(const std::string& file) {
    const char* dir = std::getenv("VIRTUAL_READER_DIR");
    std::ifstream in(std::string(dir ? dir : ".") + "/" + file);
    long pid = 0;
    in >> pid;
    return pid;
}

// User and system CPU time of a process, in seconds (fields 14 and 15 of its stat).
double cpuSeconds(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto afterName = text.rfind(')');
    if (afterName == std::string::npos) return -1;
    std::istringstream fields(text.substr(afterName + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stoull(field);
        if (i == 15) system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

TEST(IdleCost, ReaderAndPcscdSpendNoMeasurableCpuWhileIdle) {
    PcscSession session;
    ASSERT_NE(session.reader().find("ACR122U"), std::string::npos) << "the reader is listed";
    const long reader = recordedPid("virtual-acr122u.pid");
    const long pcscd = recordedPid("pcscd-process.pid");
    ASSERT_GT(reader, 0);
    ASSERT_GT(pcscd, 0);
    const double before = cpuSeconds(reader) + cpuSeconds(pcscd);
    constexpr auto kIdle = std::chrono::seconds(4);
    std::this_thread::sleep_for(kIdle);
    const double spent = cpuSeconds(reader) + cpuSeconds(pcscd) - before;
    std::printf("observed: virtual reader and pcscd spent %.2f s of CPU in %lld idle seconds\n", spent,
                static_cast<long long>(kIdle.count()));
    // A busy loop costs most of a core (2.4 s and more here); a tick or two of CPU
    // time is noise.
    EXPECT_LT(spent, 0.2);
}

}  // namespace
}  // namespace vreader::e2e
