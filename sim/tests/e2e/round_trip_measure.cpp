// Not a test of speed: prints what one direct transmit + GET RESPONSE costs through
// pcscd and the project's driver, and what the virtual reader itself spends per command.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "e2e_test_support.h"

namespace vreader::e2e {
namespace {

using Measure = ConnectedTest;

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

void printFigures(const char* what, const std::vector<double>& microseconds) {
    double sum = 0;
    for (double v : microseconds) sum += v;
    std::printf("%-40s n=%zu mean=%.1f us median=%.1f us p99=%.1f us\n", what, microseconds.size(),
                sum / static_cast<double>(microseconds.size()), percentile(microseconds, 0.5),
                percentile(microseconds, 0.99));
}

std::vector<double> timeExchanges(PcscSession& session, const Bytes& frame, const Bytes& expected,
                                   int rounds) {
    std::vector<double> microseconds;
    for (int i = 0; i < rounds; ++i) {
        const auto started = std::chrono::steady_clock::now();
        const Bytes answer = session.chip(frame);
        const auto spent = std::chrono::steady_clock::now() - started;
        if (answer != expected) {
            ADD_FAILURE() << "round " << i << ": " << formatHex(answer);
            break;
        }
        microseconds.push_back(std::chrono::duration<double, std::micro>(spent).count());
    }
    return microseconds;
}

TEST_F(Measure, DirectTransmitRoundTrip) {
    const char* roundsText = std::getenv("VIRTUAL_READER_MEASURE_ROUNDS");
    const int rounds = roundsText ? std::atoi(roundsText) : 500;
    ASSERT_GT(rounds, 0);
    ASSERT_EQ(chipHex(kListTypeB).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(control("stats reset").rfind("ok", 0), 0u);

    const auto firmware = timeExchanges(session, kGetFirmwareVersion, H("D5 03 32 01 06 07"), rounds);
    const auto exchange = timeExchanges(session, kTypeBReadBinary, H("D5 41 00 6A 82"), rounds);
    ASSERT_EQ(firmware.size(), static_cast<std::size_t>(rounds));
    ASSERT_EQ(exchange.size(), static_cast<std::size_t>(rounds));
    printFigures("GetFirmwareVersion (1 transmit, T=1)", firmware);
    printFigures("InDataExchange to Type B (1 transmit, T=1)", exchange);
    const std::string stats = control("stats");
    std::printf("virtual reader, time inside the handler per command: %s\n", stats.c_str());
    EXPECT_NE(stats.find("commands=" + std::to_string(2 * rounds)), std::string::npos) << stats;
}

}  // namespace
}  // namespace vreader::e2e
