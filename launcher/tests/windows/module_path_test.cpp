// Splitting the program's path into its folder, in the ANSI code pages the
// path may come in.
#include "module_path.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

constexpr unsigned kWesternEuropean = 1252;
constexpr unsigned kJapanese = 932;  // Shift-JIS: trail bytes may equal '\'

struct FolderCase {
    const char* name;
    std::string file;
    unsigned codePage;
    std::optional<std::string> folder;
};

void PrintTo(const FolderCase& situation, std::ostream* out) {
    *out << situation.name;
}

class FolderOfFile : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FolderOfFile, IsEverythingBeforeTheLastSeparator) {
    const FolderCase& situation = GetParam();
    EXPECT_EQ(vanto::folderOfFile(situation.file, situation.codePage), situation.folder);
}

// "\x95\x5c" is one Shift-JIS character whose second byte has the value of '\'.
INSTANTIATE_TEST_SUITE_P(
    Paths, FolderOfFile,
    ::testing::Values(
        FolderCase{"Folder", "C:\\shop\\Vanto.exe", kWesternEuropean, "C:\\shop"},
        FolderCase{"BlanksAndAmpersand", "C:\\a b\\shop & launcher\\Vanto.exe", kWesternEuropean,
                   "C:\\a b\\shop & launcher"},
        FolderCase{"ForwardSlashes", "Z:/tmp/shop/Vanto.exe", kWesternEuropean, "Z:/tmp/shop"},
        FolderCase{"DriveRootKeepsItsSeparator", "C:\\Vanto.exe", kWesternEuropean, "C:\\"},
        FolderCase{"ExtendedPathRoot", "\\\\?\\C:\\Vanto.exe", kWesternEuropean, "\\\\?\\C:\\"},
        FolderCase{"ExtendedPathFolder", "\\\\?\\C:\\shop\\Vanto.exe", kWesternEuropean,
                   "\\\\?\\C:\\shop"},
        FolderCase{"NetworkShare", "\\\\server\\share\\Vanto.exe", kWesternEuropean,
                   "\\\\server\\share"},
        FolderCase{"NoSeparator", "Vanto.exe", kWesternEuropean, std::nullopt},
        FolderCase{"DoubleByteFolderName", "C:\\\x95\x5c\\Vanto.exe", kJapanese, "C:\\\x95\x5c"},
        FolderCase{"DoubleByteFileNameAtRoot", "C:\\\x95\x5c.exe", kJapanese, "C:\\"},
        // The same bytes in a single-byte code page: there 0x5c is a separator.
        FolderCase{"SameBytesSingleByteCodePage", "C:\\\x95\x5c.exe", kWesternEuropean, "C:\\\x95"},
        FolderCase{"LeadByteAtTheEnd", "C:\\shop\\\x95", kJapanese, "C:\\shop"}),
    [](const ::testing::TestParamInfo<FolderCase>& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
