// The two response bytes a failed exchange carries back to Java.
#include "status_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

namespace {

struct StatusCase {
    std::int32_t status;
    std::uint8_t first;
    std::uint8_t second;
};

class StatusBytesTest : public ::testing::TestWithParam<StatusCase> {};

// Byte 1 starts as 0xBB: a status whose text is shorter than four characters marks
// byte 0 with FF and must leave byte 1 as it was.
TEST_P(StatusBytesTest, WritesTheFirstFourHexDigitsAsTwoBytes) {
    const auto& c = GetParam();
    std::uint8_t target[3] = {0xAA, 0xBB, 0xCC};
    ferrow::writeStatusBytes(c.status, target);
    EXPECT_EQ(target[0], c.first) << std::hex << c.status;
    EXPECT_EQ(target[1], c.second) << std::hex << c.status;
    EXPECT_EQ(target[2], 0xCC) << "a third byte was written";
}

INSTANTIATE_TEST_SUITE_P(StatusWords, StatusBytesTest,
                         ::testing::Values(StatusCase{0x9000, 0x90, 0x00},     // text 9000
                                           StatusCase{0x6A82, 0x6A, 0x82},     // a card's error
                                           StatusCase{0x7000, 0x70, 0x00},     // transport failed
                                           StatusCase{0x200F, 0x20, 0x0F},     // unknown exchange type
                                           StatusCase{0x12345, 0x12, 0x34},    // first four of five digits
                                           StatusCase{static_cast<std::int32_t>(0xFFFF7000), 0xFF, 0xFF},
                                           StatusCase{-1, 0xFF, 0xFF},         // FFFFFFFF
                                           StatusCase{0x123, 0xFF, 0xBB},      // three digits
                                           StatusCase{0x12, 0xFF, 0xBB},       // two digits: second pair is the terminator
                                           StatusCase{0x5, 0xFF, 0xBB},        // one digit
                                           StatusCase{0, 0xFF, 0xBB}),         // text "0"
                         [](const ::testing::TestParamInfo<StatusCase>& param) {
                             std::ostringstream name;
                             name << "Status" << std::hex << std::uppercase
                                  << static_cast<std::uint32_t>(param.param.status);
                             return name.str();
                         });

TEST(StatusBytesRange, EveryFourDigitStatusComesOutBigEndian) {
    for (std::int32_t status = 0x1000; status <= 0xFFFF; ++status) {
        std::uint8_t target[2] = {};
        ferrow::writeStatusBytes(status, target);
        ASSERT_EQ(target[0], status >> 8) << std::hex << status;
        ASSERT_EQ(target[1], status & 0xFF) << std::hex << status;
    }
}

}  // namespace
