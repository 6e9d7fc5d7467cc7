// The profile exports over the system's profile functions: what callers rely on
// whatever stands behind them — the "-1" marker and result 0 for anything absent or
// empty, the 255-character cut, and a write that always reports 1.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

#include "convert_api.h"

namespace {

class ProfileExports : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  (std::string("hexkit-profile-") + info->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::string file(const char* name) const { return (folder_ / name).string(); }

    void writeText(const char* name, const std::string& text) const {
        std::ofstream(file(name), std::ios::binary) << text;
    }

    // The result of a read and what out holds afterwards.
    std::pair<long, std::string> read(const char* section, const char* key, const char* name) {
        out_.fill('#');
        const std::string path = file(name);
        const long result = oGetPrivateProfileString(const_cast<char*>(section),
                                                     const_cast<char*>(key), path.c_str(), out_.data());
        return {result, std::string(out_.data())};
    }

private:
    std::filesystem::path folder_;
    std::array<char, 256> out_{};
};

TEST_F(ProfileExports, PresentValueIsCopiedWithItsZeroByte) {
    writeText("a.ini", "[reader]\r\nport=abc\r\n");
    EXPECT_EQ(read("reader", "port", "a.ini"), std::make_pair(1L, std::string("abc")));
}

TEST_F(ProfileExports, AnythingAbsentOrEmptyGivesTheMarker) {
    writeText("a.ini", "[reader]\r\nport=abc\r\nempty=\r\n");
    const std::pair<long, std::string> marker{0L, "-1"};
    EXPECT_EQ(read("reader", "other", "a.ini"), marker);
    EXPECT_EQ(read("other", "port", "a.ini"), marker);
    EXPECT_EQ(read("reader", "empty", "a.ini"), marker);
    EXPECT_EQ(read("reader", "port", "missing.ini"), marker);
}

TEST_F(ProfileExports, LongValuesReachTheCallerCutAt255Characters) {
    const std::string value(300, 'v');
    writeText("a.ini", "[s]\r\nk=" + value + "\r\n");
    const auto [result, text] = read("s", "k", "a.ini");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(text, value.substr(0, 255));
}

TEST_F(ProfileExports, WriteThenReadGivesBackTheValue) {
    const std::string path = file("w.ini");
    EXPECT_EQ(oWritePrivateProfileString("4711", "card", "last", path.c_str()), 1);
    EXPECT_EQ(read("card", "last", "w.ini"), std::make_pair(1L, std::string("4711")));
}

TEST_F(ProfileExports, WriteReportsOneEvenWhenNothingCanBeWritten) {
    const std::string path = file("no-such-folder/w.ini");
    EXPECT_EQ(oWritePrivateProfileString("v", "s", "k", path.c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
