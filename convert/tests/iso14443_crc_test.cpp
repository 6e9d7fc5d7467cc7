// CRC_A and CRC_B through the exported function, as an outside caller computes the
// check bytes of a Type A or Type B frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert_api.h"

namespace {

constexpr unsigned char kUntouched = 0xEE;

struct CrcCase {
    const char* name;
    int type;
    std::vector<unsigned char> input;
    unsigned char first;
    unsigned char second;
};

std::vector<unsigned char> charactersOf(const std::string& text) {
    return {text.begin(), text.end()};
}

class CrcCheckValues : public ::testing::TestWithParam<CrcCase> {};

TEST_P(CrcCheckValues, LowByteFirstHighByteSecond) {
    const auto& c = GetParam();
    std::vector<char> data(c.input.begin(), c.input.end());
    data.push_back('\x5A');  // a byte beyond len that must not be covered
    unsigned char first = kUntouched;
    unsigned char second = kUntouched;
    ASSERT_EQ(oComputeCrc(c.type, data.data(), static_cast<int>(c.input.size()), &first, &second),
              1);
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(second, c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Iso14443, CrcCheckValues,
    ::testing::Values(
        CrcCase{"A_0000", 1, {0x00, 0x00}, 0xA0, 0x1E},
        CrcCase{"A_1234", 1, {0x12, 0x34}, 0x26, 0xCF},
        CrcCase{"A_00", 1, {0x00}, 0xFE, 0x51},
        CrcCase{"A_Digits", 1, charactersOf("123456789"), 0x05, 0xBF},
        CrcCase{"A_Empty", 1, {}, 0x63, 0x63},
        CrcCase{"B_000000", 2, {0x00, 0x00, 0x00}, 0xCC, 0xC6},
        CrcCase{"B_0A123456", 2, {0x0A, 0x12, 0x34, 0x56}, 0x2C, 0xF6},
        CrcCase{"B_00", 2, {0x00}, 0x78, 0xF0},
        CrcCase{"B_Digits", 2, charactersOf("123456789"), 0x6E, 0x90},
        CrcCase{"B_Empty", 2, {}, 0x00, 0x00},
        // Bytes above 0x7F arrive through a plain char and must count as unsigned.
        CrcCase{"A_HighBytes", 1, {0xFF, 0x80}, 0x68, 0x65},
        CrcCase{"B_HighBytes", 2, {0xFF, 0x80}, 0x8F, 0x74}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(Crc, AFrameFollowedByItsCrcLeavesTheTypeBResidue) {
    // A receiver runs the CRC over frame and check bytes together; for CRC_B the
    // register then holds the fixed residue 0xF0B8 before inversion.
    std::vector<char> frame = {'\x05', '\x00', '\x08'};  // REQB
    unsigned char first = 0;
    unsigned char second = 0;
    ASSERT_EQ(oComputeCrc(2, frame.data(), 3, &first, &second), 1);
    frame.push_back(static_cast<char>(first));
    frame.push_back(static_cast<char>(second));
    ASSERT_EQ(oComputeCrc(2, frame.data(), 5, &first, &second), 1);
    EXPECT_EQ(first, 0x47);  // ~0xF0B8 = 0x0F47, low byte first
    EXPECT_EQ(second, 0x0F);
}

struct RefusedCall {
    const char* name;
    int type;
    bool nullData;
    int len;
    bool nullFirst;
    bool nullSecond;
    long result;
};

class CrcRefusals : public ::testing::TestWithParam<RefusedCall> {};

TEST_P(CrcRefusals, WriteNothing) {
    const auto& c = GetParam();
    char data[4] = {1, 2, 3, 4};
    unsigned char first = kUntouched;
    unsigned char second = kUntouched;
    EXPECT_EQ(oComputeCrc(c.type, c.nullData ? nullptr : data, c.len,
                          c.nullFirst ? nullptr : &first, c.nullSecond ? nullptr : &second),
              c.result);
    EXPECT_EQ(first, kUntouched);
    EXPECT_EQ(second, kUntouched);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, CrcRefusals,
    ::testing::Values(
        // Unknown types run to the end without computing anything.
        RefusedCall{"Type0", 0, false, 4, false, false, 1},
        RefusedCall{"Type3", 3, false, 4, false, false, 1},
        RefusedCall{"TypeNegative", -1, false, 4, false, false, 1},
        // Bad pointers and lengths are refused before the type is looked at.
        RefusedCall{"NegativeLenA", 1, false, -1, false, false, 0},
        RefusedCall{"NegativeLenUnknownType", 7, false, -5, false, false, 0},
        RefusedCall{"NullDataA", 1, true, 4, false, false, 0},
        RefusedCall{"NullDataEmpty", 2, true, 0, false, false, 0},
        RefusedCall{"NullDataUnknownType", 9, true, 4, false, false, 0},
        RefusedCall{"NullFirstB", 2, false, 4, true, false, 0},
        RefusedCall{"NullSecondA", 1, false, 4, false, true, 0},
        RefusedCall{"NullSecondUnknownType", 0, false, 4, false, true, 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
