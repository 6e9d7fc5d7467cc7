// The hex codec through its exported functions, as the reader library and outside
// callers reach it.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "convert_api.h"

namespace {

std::vector<unsigned char> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

struct Ascii2HexCase {
    const char* name;
    std::string text;
    long len;
    long result;
    std::vector<unsigned char> expectedPrefix;  // out[0..] after the call
};

class Ascii2HexTable : public ::testing::TestWithParam<Ascii2HexCase> {};

TEST_P(Ascii2HexTable, WritesResultOrMarkerAndNothingElse) {
    const auto& c = GetParam();
    auto text = bytesOf(c.text);
    text.push_back(0);
    std::array<unsigned char, 16> out;
    out.fill(0xEE);
    EXPECT_EQ(oAscii2Hex(c.len, text.data(), out.data()), c.result);
    for (std::size_t i = 0; i < c.expectedPrefix.size(); ++i)
        EXPECT_EQ(out[i], c.expectedPrefix[i]) << "byte " << i;
    for (std::size_t i = c.expectedPrefix.size(); i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xEE) << "byte " << i << " was written";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ascii2HexTable,
    ::testing::Values(
        Ascii2HexCase{"Empty", "", 0, 1, {0x00}},
        Ascii2HexCase{"MixedCase", "0aFf", 4, 1, {0x0A, 0xFF, 0x00}},
        Ascii2HexCase{"ReaderCommand", "D44A010300", 10, 1, {0xD4, 0x4A, 0x01, 0x03, 0x00, 0x00}},
        Ascii2HexCase{"StopsAtLength", "1234zz", 4, 1, {0x12, 0x34, 0x00}},
        Ascii2HexCase{"BadDigitSecondPair", "12G4", 4, 0, {0xFF}},
        Ascii2HexCase{"BadDigitFirst", "x0", 2, 0, {0xFF}},
        Ascii2HexCase{"BadLowNibble", "0g", 2, 0, {0xFF}},
        Ascii2HexCase{"OddLength", "123", 3, 0, {0xFF}},
        Ascii2HexCase{"NegativeLength", "12", -2, 0, {0xFF}},
        Ascii2HexCase{"TooLong", "12", 2050, 0, {0xFF}},
        Ascii2HexCase{"SpaceIsNoDigit", "1 ", 2, 0, {0xFF}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(Ascii2Hex, ConvertsTheLargestTextAndTerminatesAfterIt) {
    std::string text;
    for (int i = 0; i < 1024; ++i) text += "A5";
    auto in = bytesOf(text);
    std::vector<unsigned char> out(1026, 0xEE);
    ASSERT_EQ(oAscii2Hex(2048, in.data(), out.data()), 1);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)], 0xA5);
    EXPECT_EQ(out[1024], 0x00);
    EXPECT_EQ(out[1025], 0xEE);
}

TEST(Ascii2Hex, ConvertsInPlaceLikeSeparateBuffers) {
    std::string text = "00112233445566778899AABBCCDDEEFF";
    auto inPlace = bytesOf(text);
    inPlace.push_back(0);
    auto separateIn = inPlace;
    std::vector<unsigned char> separateOut(17, 0);
    ASSERT_EQ(oAscii2Hex(32, separateIn.data(), separateOut.data()), 1);
    ASSERT_EQ(oAscii2Hex(32, inPlace.data(), inPlace.data()), 1);
    EXPECT_EQ(std::vector<unsigned char>(inPlace.begin(), inPlace.begin() + 17), separateOut);
}

TEST(Ascii2Hex, FailureInPlaceKeepsTheRestOfTheText) {
    auto text = bytesOf("1234Z6");
    ASSERT_EQ(oAscii2Hex(6, text.data(), text.data()), 0);
    EXPECT_EQ(text, bytesOf("\xFF" "234Z6"));
}

TEST(Ascii2Hex, NullPointersAreRefused) {
    unsigned char out[4] = {1, 2, 3, 4};
    unsigned char text[] = "12";
    EXPECT_EQ(oAscii2Hex(2, nullptr, out), 0);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(oAscii2Hex(2, text, nullptr), 0);
    EXPECT_EQ(oAscii2Hex(0, nullptr, nullptr), 0);
}

TEST(Hex2Ascii, FormatsUpperCaseAndTerminates) {
    unsigned char in[] = {0x00, 0xAB, 0x7F};
    std::array<unsigned char, 10> out;
    out.fill(0xEE);
    ASSERT_EQ(oHex2Ascii(3, in, out.data()), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data())), "00AB7F");
    EXPECT_EQ(out[7], 0xEE);
}

TEST(Hex2Ascii, EmptyInputGivesEmptyText) {
    unsigned char out[2] = {0xEE, 0xEE};
    unsigned char in[1] = {0x12};
    ASSERT_EQ(oHex2Ascii(0, in, out), 1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0xEE);
}

TEST(Hex2Ascii, EveryByteValueRoundTripsThroughAscii2Hex) {
    std::vector<unsigned char> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    for (std::size_t start = 0; start < 256; start += 128) {
        std::vector<unsigned char> text(257), back(129);
        ASSERT_EQ(oHex2Ascii(128, all.data() + start, text.data()), 1);
        ASSERT_EQ(oAscii2Hex(256, text.data(), back.data()), 1);
        EXPECT_TRUE(std::equal(back.begin(), back.begin() + 128, all.begin() + static_cast<long>(start)));
    }
}

TEST(Hex2Ascii, LargestInputInPlace) {
    std::vector<unsigned char> buffer(1025, 0);
    for (std::size_t i = 0; i < 512; ++i) buffer[i] = static_cast<unsigned char>(i);
    ASSERT_EQ(oHex2Ascii(512, buffer.data(), buffer.data()), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()), 8), "00010203");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()) + 1016, 8), "FCFDFEFF");
    EXPECT_EQ(buffer[1024], 0);
}

TEST(Hex2Ascii, RefusedLengthsLeaveOutputUntouched) {
    unsigned char in[1] = {0x12};
    std::array<unsigned char, 4> out{9, 9, 9, 9};
    EXPECT_EQ(oHex2Ascii(-1, in, out.data()), 0);
    EXPECT_EQ(oHex2Ascii(513, in, out.data()), 0);
    EXPECT_EQ(oHex2Ascii(1, nullptr, out.data()), 0);
    EXPECT_EQ(oHex2Ascii(1, in, nullptr), 0);
    EXPECT_EQ(out, (std::array<unsigned char, 4>{9, 9, 9, 9}));
}

struct HexToLongCase {
    std::string text;
    long value;
};

class HexToLongTable : public ::testing::TestWithParam<HexToLongCase> {};

TEST_P(HexToLongTable, ReadsDigitsUntilTheFirstNonDigit) {
    auto text = GetParam().text;
    EXPECT_EQ(oHexToLong(text.data()), GetParam().value) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexToLongTable,
    ::testing::Values(HexToLongCase{"", 0}, HexToLongCase{"ff", 255}, HexToLongCase{"FF", 255},
                      HexToLongCase{"0019", 25}, HexToLongCase{"7fffffff", 2147483647},
                      HexToLongCase{"FFFFFFFF", -1}, HexToLongCase{"80000000", -2147483648L},
                      HexToLongCase{"123456789", 0x23456789}, HexToLongCase{"12g4", 0x12},
                      HexToLongCase{"-1", 0}, HexToLongCase{"1 2", 1}));

TEST(HexToLong, NullGivesZero) { EXPECT_EQ(oHexToLong(nullptr), 0); }

}  // namespace
