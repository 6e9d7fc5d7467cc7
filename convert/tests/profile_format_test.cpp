// The profile file format through the two exported functions: what a read finds in
// files written by other tools, and the exact bytes a write leaves behind.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "profile_test_support.h"

namespace {

using profile_test::readBytes;
using profile_test::ReadResult;
using profile_test::readValue;
using profile_test::TempFolder;
using profile_test::writeBytes;
using profile_test::writeValue;

// As a Windows editor leaves it: byte order mark, CRLF, both comment styles, odd
// spacing, quotes, a repeated key and a section that comes back later.
const std::string kWindowsFile =
    "\xEF\xBB\xBF; Settings of the reader tool\r\n"
    "[Reader]\r\n"
    "Port = COM3\r\n"
    "  Timeout\t=\t  250  \r\n"
    "Name=\"  ACR122U  \"\r\n"
    "Empty=\r\n"
    "Quoted=\"\"\r\n"
    "Path = C:\\Program Files\\Reader\r\n"
    "Url=https://shop.test/?a=1&b=2\r\n"
    "# Port=COM8\r\n"
    ";Port=COM9\r\n"
    "Port=COM4\r\n"
    "no equals sign here\r\n"
    "\r\n"
    "[ Other Section ]\r\n"
    "key=other\r\n"
    "[reader]\r\n"
    "Late=yes";

struct LookupCase {
    const char* name;
    const char* section;
    const char* key;
    long result;
    const char* out;
};

class WindowsFileLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(WindowsFileLookup, FindsWhatTheToolWrote) {
    const auto& c = GetParam();
    TempFolder folder;
    const auto file = folder.file("tool.ini");
    writeBytes(file, kWindowsFile);
    const ReadResult read = readValue(c.section, c.key, file);
    EXPECT_EQ(read.result, c.result);
    EXPECT_EQ(read.out, c.out);
    EXPECT_EQ(readBytes(file), kWindowsFile) << "a read changed the file";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsFileLookup,
    ::testing::Values(LookupCase{"FirstOfTwoEqualKeys", "Reader", "Port", 1, "COM3"},
                      LookupCase{"NamesIgnoreCase", "rEADER", "PORT", 1, "COM3"},
                      LookupCase{"CallerNamesTrimmed", " Reader\t", " Port ", 1, "COM3"},
                      LookupCase{"SpacesAndTabsTrimmed", "Reader", "Timeout", 1, "250"},
                      LookupCase{"QuotesKeepInnerSpaces", "Reader", "Name", 1, "  ACR122U  "},
                      LookupCase{"EmptyValue", "Reader", "Empty", 0, "-1"},
                      LookupCase{"EmptyQuotedValue", "Reader", "Quoted", 0, "-1"},
                      LookupCase{"BackslashesAndSpaces", "Reader", "Path", 1,
                                 "C:\\Program Files\\Reader"},
                      LookupCase{"SplitAtFirstEquals", "Reader", "Url", 1,
                                 "https://shop.test/?a=1&b=2"},
                      LookupCase{"TrimmedSectionHeader", "other section", "KEY", 1, "other"},
                      LookupCase{"LaterBlockLastLineWithoutBreak", "Reader", "Late", 1, "yes"},
                      LookupCase{"AbsentKey", "Reader", "Missing", 0, "-1"},
                      LookupCase{"AbsentSection", "Writer", "Port", 0, "-1"},
                      LookupCase{"PartOfSectionName", "Other", "key", 0, "-1"},
                      LookupCase{"CommentIsNoKey", "Reader", "# Port", 0, "-1"},
                      LookupCase{"LineWithoutEquals", "Reader", "no equals sign here", 0, "-1"},
                      LookupCase{"KeyOutsideItsSection", "Other Section", "Port", 0, "-1"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A write elsewhere in the file never changes what another key reads, also when
// the file ends in a carriage return without its line feed.
TEST(ProfileRead, LoneCarriageReturnAtEndIsNoPartOfTheValue) {
    TempFolder folder;
    const auto file = folder.file("cr.ini");
    writeBytes(file, "[s]\nk=v\r");
    EXPECT_EQ(readValue("s", "k", file).out, "v");
    EXPECT_EQ(writeValue("w", "s", "j", file), 1);
    EXPECT_EQ(readValue("s", "k", file).out, "v");
    EXPECT_EQ(readValue("s", "j", file).out, "w");
}

TEST(ProfileRead, MissingFileOrNullArgumentsGiveTheMarker) {
    TempFolder folder;
    const auto file = folder.file("present.ini");
    writeBytes(file, "[s]\nk=v\n");
    for (const auto& read : {readValue("s", "k", folder.file("absent.ini")),
                             readValue(std::nullopt, "k", file), readValue("s", std::nullopt, file),
                             readValue("s", "k", std::nullopt), readValue("s", "k", folder.path())}) {
        EXPECT_EQ(read.result, 0);
        EXPECT_EQ(read.out, "-1");
    }
    EXPECT_EQ(readValue("s", "k", file).out, "v");
    char section[] = "s";
    char key[] = "k";
    EXPECT_EQ(oGetPrivateProfileString(section, key, file.c_str(), nullptr), 0);
}

struct LengthCase {
    std::size_t written;
    std::size_t read;
};

class LongValues : public ::testing::TestWithParam<LengthCase> {};

TEST_P(LongValues, ReachTheCallerCutAt255Characters) {
    TempFolder folder;
    const auto file = folder.file("long.ini");
    std::string value;
    for (std::size_t i = 0; i < GetParam().written; ++i)
        value += static_cast<char>('a' + static_cast<char>(i % 26));
    ASSERT_EQ(writeValue(value.c_str(), "s", "k", file), 1);
    EXPECT_EQ(readBytes(file), "[s]\nk=" + value + "\n") << "the file keeps the whole value";
    const ReadResult read = readValue("s", "k", file);  // also checks nothing past 256 bytes
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.out, value.substr(0, GetParam().read));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongValues,
                         ::testing::Values(LengthCase{254, 254}, LengthCase{255, 255},
                                           LengthCase{256, 255}, LengthCase{1000, 255}));

class RoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTrip, ReadGivesBackExactlyWhatWasWritten) {
    TempFolder folder;
    const auto file = folder.file("round.ini");
    ASSERT_EQ(writeValue("placeholder", "Section", "Key", file), 1);
    ASSERT_EQ(writeValue(GetParam(), "Section", "Key", file), 1);
    const ReadResult read = readValue("Section", "Key", file);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.out, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Values, RoundTrip,
                         ::testing::Values("abc", " leading", "trailing ", "\tboth\t", "  ",
                                           "\"quoted\"", "\"", "\"half", "half\"",
                                           "say \"hi\" twice", "a=b=c", "=", "; not a comment",
                                           "# not a comment", "[not a section]", "tab\tinside",
                                           "\xC3\xA9t\xC3\xA9"));

// A write's exact effect on the bytes of an existing file.
struct EditCase {
    const char* name;
    std::string before;
    const char* value;  // nullptr deletes the key
    const char* section;
    const char* key;  // nullptr deletes the section
    std::string after;
};

class Edits : public ::testing::TestWithParam<EditCase> {};

TEST_P(Edits, ChangeOnlyWhatTheyMust) {
    const auto& c = GetParam();
    TempFolder folder;
    const auto file = folder.file("edit.ini");
    writeBytes(file, c.before);
    EXPECT_EQ(writeValue(c.value, c.section, c.key, file), 1);
    EXPECT_EQ(readBytes(file), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Edits,
    ::testing::Values(
        EditCase{"ReplaceKeepsSpellingSpacingAndNeighbours",
                 "; head\r\n[Net]\r\nHost = old  \r\nPort=1\r\n\r\n[Other]\r\nHost=x\r\n", "new",
                 "NET", "host",
                 "; head\r\n[Net]\r\nHost = new\r\nPort=1\r\n\r\n[Other]\r\nHost=x\r\n"},
        EditCase{"ReplacedLineKeepsItsOwnEnding", "[a]\r\nk=1\nj=2\r\n", "22", "a", "k",
                 "[a]\r\nk=22\nj=2\r\n"},
        EditCase{"ReplaceLastLineWithoutBreak", "[a]\nk=1", "2", "a", "k", "[a]\nk=2"},
        EditCase{"FirstOfTwoEqualKeysReplaced", "[a]\nk=1\nK=2\n", "3", "a", "k",
                 "[a]\nk=3\nK=2\n"},
        EditCase{"NewKeyAfterLastKeyLine", "[a]\nx=1\n; about b\n\n[b]\ny=2\n", "3", "a", "z",
                 "[a]\nx=1\nz=3\n; about b\n\n[b]\ny=2\n"},
        EditCase{"NewKeyTakesFirstLineEnding", "[a]\r\nx=1\n[b]\n", "3", "a", "z",
                 "[a]\r\nx=1\nz=3\r\n[b]\n"},
        EditCase{"NewKeyAfterLastLineWithoutBreak", "[a]\r\nk=1", "2", "a", "j",
                 "[a]\r\nk=1\r\nj=2\r\n"},
        // A file whose last CRLF lost its LF: the break is completed, not doubled.
        EditCase{"NewKeyAfterLoneCarriageReturnAtEnd", "[a]\nk=1\r", "2", "a", "j",
                 "[a]\nk=1\r\nj=2\n"},
        EditCase{"NewSectionAfterLoneCarriageReturnAtEnd", "[a]\r\nk=1\r", "y", "b", "x",
                 "[a]\r\nk=1\r\n[b]\r\nx=y\r\n"},
        EditCase{"ReplaceBeforeLoneCarriageReturnAtEnd", "[a]\nk=1\r", "2", "a", "k",
                 "[a]\nk=2\r"},
        EditCase{"NewKeyInEmptySection", "[a]\n[b]\n", "v", "a", "k", "[a]\nk=v\n[b]\n"},
        EditCase{"NewKeyGoesToFirstBlock", "[a]\nk=1\n[b]\n[A]\nj=2\n", "3", "a", "n",
                 "[a]\nk=1\nn=3\n[b]\n[A]\nj=2\n"},
        EditCase{"KeyInLaterBlockReplacedThere", "[a]\nk=1\n[b]\n[a]\nj=2\n", "9", "a", "j",
                 "[a]\nk=1\n[b]\n[a]\nj=9\n"},
        EditCase{"NewSectionAtEnd", "[a]\r\nk=1\r\n", "y", "b", "x",
                 "[a]\r\nk=1\r\n[b]\r\nx=y\r\n"},
        EditCase{"NewSectionAfterMissingFinalBreak", "[a]\r\nk=1", "y", "b", "x",
                 "[a]\r\nk=1\r\n[b]\r\nx=y\r\n"},
        EditCase{"NewSectionInFileWithoutLineBreak", "; only a comment", "y", "b", "x",
                 "; only a comment\n[b]\nx=y\n"},
        EditCase{"CallerNamesTrimmed", "", "v", " s ", "\tk ", "[s]\nk=v\n"},
        EditCase{"BlanksAroundValueQuoted", "[s]\n", " padded\t", "s", "k", "[s]\nk=\" padded\t\"\n"},
        EditCase{"QuotedValueQuotedAgain", "[s]\n", "\"q\"", "s", "k", "[s]\nk=\"\"q\"\"\n"},
        EditCase{"EqualsInValueKept", "[s]\n", "a=b", "s", "k", "[s]\nk=a=b\n"},
        EditCase{"EmptyValueWritten", "[s]\nk=1\n", "", "s", "k", "[s]\nk=\n"},
        EditCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[a]\r\nk=1\r\n", "2", "A", "K",
                 "\xEF\xBB\xBF[a]\r\nk=2\r\n"},
        EditCase{"DeleteKeyAndItsRepeats", "[a]\r\nk=1\r\nj=2\r\nK=3\r\n[b]\r\nk=4\r\n", nullptr,
                 "a", "k", "[a]\r\nj=2\r\n[b]\r\nk=4\r\n"},
        EditCase{"DeleteSectionWithItsComments", "; top\n[a]\nk=1\n; about a\n[b]\nj=2\n[A]\nn=3\n",
                 "x", "a", nullptr, "; top\n[b]\nj=2\n"},
        EditCase{"DeleteAbsentKeyChangesNothing", "[a]\nk=1", nullptr, "a", "j", "[a]\nk=1"},
        // Writes that would break the file's structure store nothing.
        EditCase{"NullSection", "[a]\nk=1\n", "v", nullptr, "k", "[a]\nk=1\n"},
        EditCase{"CarriageReturnInValue", "[a]\nk=1\n", "2\r", "a", "k", "[a]\nk=1\n"},
        EditCase{"LineFeedInValue", "[a]\nk=1\n", "2\n[x]\ny=z", "a", "k", "[a]\nk=1\n"},
        EditCase{"LineFeedInKey", "[a]\nk=1\n", "v", "a", "k\nj", "[a]\nk=1\n"},
        EditCase{"CarriageReturnInSection", "[a]\nk=1\n", "v", "a\r", "k", "[a]\nk=1\n"},
        EditCase{"LineFeedInSectionDelete", "[a]\nk=1\n", "v", "a\n", nullptr, "[a]\nk=1\n"},
        EditCase{"EqualsInKey", "[a]\nk=1\n", "v", "a", "k=j", "[a]\nk=1\n"},
        EditCase{"KeyLikeHeader", "[a]\nk=1\n", "v", "a", "[b]", "[a]\nk=1\n"},
        EditCase{"KeyLikeSemicolonComment", "[a]\nk=1\n", "v", "a", ";k", "[a]\nk=1\n"},
        EditCase{"KeyLikeHashComment", "[a]\nk=1\n", "v", "a", " #k", "[a]\nk=1\n"},
        EditCase{"BracketInSection", "[a]\nk=1\n", "v", "a]b", "k", "[a]\nk=1\n"},
        EditCase{"EmptyKey", "[a]\nk=1\n", "v", "a", " ", "[a]\nk=1\n"},
        EditCase{"EmptySection", "[a]\nk=1\n", "v", "", "k", "[a]\nk=1\n"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ProfileWrite, CreatesANewFileWithLineFeeds) {
    TempFolder folder;
    const auto file = folder.file("new.ini");
    ASSERT_EQ(writeValue("v", "Section", "Key", file), 1);
    ASSERT_EQ(writeValue("w", "Section", "Other", file), 1);
    EXPECT_EQ(readBytes(file), "[Section]\nKey=v\nOther=w\n");
}

TEST(ProfileWrite, DeletionsAndRefusalsNeverCreateAFile) {
    TempFolder folder;
    const auto file = folder.file("never.ini");
    EXPECT_EQ(writeValue(nullptr, "s", "k", file), 1);
    EXPECT_EQ(writeValue(nullptr, "s", nullptr, file), 1);
    EXPECT_EQ(writeValue("v", nullptr, "k", file), 1);
    EXPECT_EQ(writeValue("v\n", "s", "k", file), 1);
    EXPECT_EQ(oWritePrivateProfileString("v", "s", "k", nullptr), 1);
    EXPECT_TRUE(folder.entries().empty());
}

TEST(ProfileWrite, UnchangedContentIsNotRewritten) {
    TempFolder folder;
    const auto file = folder.file("same.ini");
    writeBytes(file, "[s]\nk = v\n");
    const auto inode = profile_test::inodeOf(file);
    EXPECT_EQ(writeValue("v", "s", "k", file), 1);
    EXPECT_EQ(writeValue(nullptr, "s", "absent", file), 1);
    EXPECT_EQ(profile_test::inodeOf(file), inode);
    EXPECT_EQ(writeValue("w", "s", "k", file), 1);
    EXPECT_NE(profile_test::inodeOf(file), inode) << "a change replaces the file";
    EXPECT_EQ(readBytes(file), "[s]\nk = w\n");
}

TEST(ProfileWrite, DeletedKeyAndSectionReadAsAbsent) {
    TempFolder folder;
    const auto file = folder.file("delete.ini");
    ASSERT_EQ(writeValue("1", "a", "k", file), 1);
    ASSERT_EQ(writeValue("2", "a", "j", file), 1);
    ASSERT_EQ(writeValue(nullptr, "a", "k", file), 1);
    EXPECT_EQ(readValue("a", "k", file).out, "-1");
    EXPECT_EQ(readValue("a", "j", file).out, "2");
    ASSERT_EQ(writeValue("ignored", "A", nullptr, file), 1);
    EXPECT_EQ(readValue("a", "j", file).result, 0);
    EXPECT_EQ(readBytes(file), "");
}

TEST(ProfileWrite, BareFileNameMeansTheCurrentFolder) {
    TempFolder folder;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    const int written = oWritePrivateProfileString("here", "s", "k", "bare.ini");
    const ReadResult read = readValue("s", "k", std::string("bare.ini"));
    std::filesystem::current_path(previous);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(read.out, "here");
    EXPECT_EQ(readBytes(folder.file("bare.ini")), "[s]\nk=here\n");
}

}  // namespace
