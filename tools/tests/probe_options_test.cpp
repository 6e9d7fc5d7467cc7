#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "probe_options.h"

namespace qvr::tools {
namespace {

struct Parsed {
    std::optional<ProbeOptions> options;
    int exitCode = -1;
};

Parsed parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "qvr-probe");
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    Parsed parsed;
    parsed.options = parseProbeOptions(static_cast<int>(arguments.size()), argv.data(), parsed.exitCode);
    return parsed;
}

TEST(ProbeOptions, TakesEveryOptionWithItsValue) {
    const Parsed parsed = parse({"--reader", "ACR122U PICC", "--trace", "--wait", "30", "--send", "00 a4:04 00",
                                 "--type", "12", "--buzzer", "off", "--details"});
    ASSERT_TRUE(parsed.options);
    const ProbeOptions& options = *parsed.options;
    EXPECT_EQ(options.readerText, "ACR122U PICC");
    EXPECT_TRUE(options.trace);
    EXPECT_EQ(options.waitSeconds, 30u);
    EXPECT_EQ(options.command, (std::vector<std::uint8_t>{0x00, 0xA4, 0x04, 0x00}));
    EXPECT_EQ(options.exchangeType, 12);
    EXPECT_EQ(options.buzzerOnDetection, false);
    EXPECT_TRUE(options.cardDetails);
}

// On the command line blanks may also split a byte's two digits, as a shell line wraps.
TEST(ProbeOptions, SendTakesBlanksAnywhere) {
    EXPECT_EQ(parse({"--send", "0 0\nA\t4:d4"}).options->command, (std::vector<std::uint8_t>{0x00, 0xA4, 0xD4}));
}

TEST(ProbeOptions, DefaultsWithoutOptions) {
    const Parsed parsed = parse({});
    ASSERT_TRUE(parsed.options);
    EXPECT_FALSE(parsed.options->readerText);
    EXPECT_FALSE(parsed.options->trace);
    EXPECT_FALSE(parsed.options->waitSeconds);
    EXPECT_EQ(parsed.options->exchangeType, 11);
}

TEST(ProbeOptions, WaitTakesTheWholeRangeAndNothingElse) {
    EXPECT_EQ(parse({"--wait", "0"}).options->waitSeconds, 0u);
    EXPECT_EQ(parse({"--wait", "86400"}).options->waitSeconds, 86400u);
    for (const char* bad : {"86401", "-1", "", "5s", "1.5", "x", "99999999999999999999"}) {
        const Parsed parsed = parse({"--wait", bad});
        EXPECT_FALSE(parsed.options) << bad;
        EXPECT_EQ(parsed.exitCode, 2) << bad;
    }
}

TEST(ProbeOptions, MistakesEndWithStatusTwo) {
    const std::vector<std::vector<std::string>> mistakes = {
        {"--reader", ""}, {"--reader"},        {"--type", "13"},   {"--send", "0G"}, {"--send", "A"},
        {"--buzzer", "maybe"}, {"--bogus"},    {"stray-argument"},
    };
    for (const auto& mistake : mistakes) {
        const Parsed parsed = parse(mistake);
        EXPECT_FALSE(parsed.options) << mistake[0];
        EXPECT_EQ(parsed.exitCode, 2) << mistake[0];
    }
}

TEST(ProbeOptions, HelpAndVersionEndWithStatusZero) {
    for (const char* request : {"--help", "--version"}) {
        const Parsed parsed = parse({request, "--bogus"});
        EXPECT_FALSE(parsed.options) << request;
        EXPECT_EQ(parsed.exitCode, 0) << request;
    }
}

}  // namespace
}  // namespace qvr::tools
