// Reader configuration exports: exact bytes on the wire, capacities, and the chip's
// short answers delivered whole.
#include <array>
#include <functional>

#include "reader_api.h"
#include "wire_test_support.h"

namespace {

using namespace wire;

constexpr std::int32_t kCard = 0x1A2B;
using Simple = std::function<std::int32_t(std::int32_t, std::uint8_t*, std::int32_t*)>;

struct ConfigCase {
    const char* name;
    Simple call;
    std::string wire;        // the direct-transmit APDU
    std::string chipAnswer;  // GET RESPONSE answer, reader status included
};
PRINTS_AS_ITS_NAME(ConfigCase)

class ConfigurationCommands : public WireTest, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(ConfigurationCommands, SendTheirCommandAndDeliverTheChipAnswer) {
    const ConfigCase& c = GetParam();
    const Bytes chip = hex(c.chipAnswer);
    answer("61 " + hexOf({static_cast<std::uint8_t>(chip.size())}));
    pcsc_double::replyWith(chip);
    std::array<std::uint8_t, 251> reply{};
    reply.fill(0xEE);
    std::int32_t length = -1;
    EXPECT_EQ(c.call(kCard, reply.data(), &length), QVR_SW_SUCCESS);
    expectWire({{c.wire, 4}, {"FF C0 00 00 " + hexOf({static_cast<std::uint8_t>(chip.size())}),
                              static_cast<DWORD>(chip.size())}});
    EXPECT_EQ(length, static_cast<std::int32_t>(chip.size() - 2));
    EXPECT_EQ(hexPrefix(reply.data(), chip.size() - 2), hexOf(Bytes(chip.begin(), chip.end() - 2)));
    EXPECT_EQ(reply[chip.size() - 2], 0xEE);
}

std::int32_t changeTo424(std::int32_t card, std::uint8_t* reply, std::int32_t* length) {
    return oChangeBaudRate(card, reply, length, 1);
}
std::int32_t changeTo424Minus(std::int32_t card, std::uint8_t* reply, std::int32_t* length) {
    return oChangeBaudRate(card, reply, length, -1);
}
std::int32_t changeTo424Two(std::int32_t card, std::uint8_t* reply, std::int32_t* length) {
    return oChangeBaudRate(card, reply, length, 2);
}
std::int32_t changeTo212(std::int32_t card, std::uint8_t* reply, std::int32_t* length) {
    return oChangeBaudRate(card, reply, length, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, ConfigurationCommands,
    ::testing::Values(
        // GetFirmwareVersion: the leading D5 03 is kept.
        ConfigCase{"FirmwareVersion", oFirmwareVer, "FF 00 00 00 02 D4 02", "D5 03 32 01 06 07 90 00"},
        // InDeselect: a chip error stays in the third byte; the status is the reader's.
        ConfigCase{"Deselect", oDeSelectTag, "FF 00 00 00 03 D4 44 01", "D5 45 00 90 00"},
        ConfigCase{"DeselectChipError", oDeSelectTag, "FF 00 00 00 03 D4 44 01", "D5 45 27 90 00"},
        ConfigCase{"RfFieldOff", oTurnOffAntennaPower, "FF 00 00 00 04 D4 32 01 00", "D5 33 90 00"},
        ConfigCase{"ConfigureReader", oConfigureReader, "FF 00 00 00 06 D4 32 05 00 00 00", "D5 33 90 00"},
        ConfigCase{"RetryOnce", oSetRetryTimeToOne, "FF 00 00 00 06 D4 32 05 00 00 00", "D5 33 90 00"},
        ConfigCase{"BaudRate424", changeTo424, "FF 00 00 00 05 D4 4E 01 02 02", "D5 4F 00 90 00"},
        ConfigCase{"BaudRate424Two", changeTo424Two, "FF 00 00 00 05 D4 4E 01 02 02", "D5 4F 00 90 00"},
        ConfigCase{"BaudRate424Negative", changeTo424Minus, "FF 00 00 00 05 D4 4E 01 02 02", "D5 4F 00 90 00"},
        ConfigCase{"BaudRate212", changeTo212, "FF 00 00 00 05 D4 4E 01 01 01", "D5 4F 01 90 00"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

class ConfigurationFailures : public WireTest, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(ConfigurationFailures, PassEngineResultsThrough) {
    const Simple& call = GetParam().call;
    std::array<std::uint8_t, 251> reply{};
    std::int32_t length = 1234;
    // No card handle: nothing sent, reply length kept.
    EXPECT_EQ(call(0, reply.data(), &length), QVR_NOT_SENT);
    EXPECT_EQ(length, 1234);
    expectNothingSent();
    // A failed transmit.
    pcsc_double::failTransmit(SCARD_E_READER_UNAVAILABLE);
    EXPECT_EQ(call(kCard, reply.data(), &length), QVR_TRANSPORT_FAILED);
    EXPECT_EQ(length, 0);
    // The reader's own error answered directly.
    answer("63 00");
    EXPECT_EQ(call(kCard, reply.data(), &length), 0x6300);
    // Null reply pointers are refused before sending.
    EXPECT_EQ(call(kCard, nullptr, &length), QVR_NOT_SENT);
    EXPECT_EQ(call(kCard, reply.data(), nullptr), QVR_NOT_SENT);
    EXPECT_EQ(pcsc_double::transmits().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, ConfigurationFailures,
    ::testing::Values(ConfigCase{"FirmwareVersion", oFirmwareVer, "", ""},
                      ConfigCase{"Deselect", oDeSelectTag, "", ""},
                      ConfigCase{"RfFieldOff", oTurnOffAntennaPower, "", ""},
                      ConfigCase{"ConfigureReader", oConfigureReader, "", ""},
                      ConfigCase{"RetryOnce", oSetRetryTimeToOne, "", ""},
                      ConfigCase{"BaudRate", changeTo424, "", ""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
