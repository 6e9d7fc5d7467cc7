// The launcher on Windows (under Wine), with a recording stand-in registered as
// the program that opens .URL files: the launcher is copied into a folder whose
// name has blanks and an '&' and started from another folder.
#include "windows_scaffold.h"

#include <gtest/gtest.h>

#include <ostream>

namespace launcher_windows_test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kShortcutName = "Topup & Shop @ Quenvaria.URL";
constexpr const char* kRecords = "opened-*.txt";
constexpr const char* kFinished = "finished-*.txt";
constexpr const char* kHidden = "0";  // SW_HIDE
// Generous limits that only catch a hang; the tests assert order, not speed.
constexpr auto kHangLimit = 30000ms;
// How long a handler that was not asked for is given to turn up anyway.
constexpr auto kQuietPeriod = 1500ms;

class LauncherOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        programFolder_ = scratch_.path() + "\\shop & launcher";
        elsewhere_ = scratch_.path() + "\\elsewhere";
        handlerFolder_ = scratch_.path() + "\\handler";
        for (const std::string& folder : {programFolder_, elsewhere_, handlerFolder_}) {
            makeFolder(folder);
        }
        program_ = programFolder_ + "\\" + VANTO_PROGRAM_NAME;
        copyFile(builtBesideThisTest(VANTO_PROGRAM_NAME), program_);
        copyFile(builtBesideThisTest(RECORD_OPEN_NAME), handlerFolder_ + "\\" + RECORD_OPEN_NAME);
    }

    // The stand-in, noting the verb it was registered for.
    std::string handlerCommand(const std::string& verb) const {
        return "\"" + handlerFolder_ + "\\" + RECORD_OPEN_NAME + "\" " + verb + " \"%1\"";
    }

    // "open" and "print" both record, and "print" is the class's default verb,
    // so only the launcher's explicit "Open" reaches the open command.
    UrlFileClass registerRecordingHandler() const {
        return UrlFileClass({{"open", handlerCommand("open")}, {"print", handlerCommand("print")}},
                            "print");
    }

    void writeShortcut() const {
        writeFile(programFolder_ + "\\" + kShortcutName,
                  "[InternetShortcut]\r\nURL=https://shop.quenvaria.example/topup\r\n");
    }

    LaunchOutcome launchFromElsewhere(const std::string& program) const {
        return launch(program, elsewhere_, scratch_.path() + "\\capture", kHangLimit);
    }

    // Whatever became of the hand-over, the launcher ends with status 0 and says nothing.
    static void expectEndedQuietlyWithStatusZero(const LaunchOutcome& outcome) {
        ASSERT_TRUE(outcome.ended);
        EXPECT_EQ(outcome.exitCode, 0UL);
        EXPECT_EQ(outcome.standardOutput, "");
        EXPECT_EQ(outcome.standardError, "");
    }

    std::vector<std::string> records() const { return filesMatching(handlerFolder_, kRecords); }

    ScratchFolder scratch_;
    std::string programFolder_;
    std::string elsewhere_;
    std::string handlerFolder_;
    std::string program_;
};

TEST_F(LauncherOnWindows, HandsItsShortcutToTheShellWithItsOwnFolderAsWorkingDirectory) {
    const UrlFileClass association = registerRecordingHandler();
    writeShortcut();

    const LaunchOutcome outcome = launchFromElsewhere(program_);

    ASSERT_NO_FATAL_FAILURE(expectEndedQuietlyWithStatusZero(outcome));
    ASSERT_TRUE(waitForFiles(handlerFolder_, kRecords, 1, kHangLimit)) << "the handler never ran";
    const auto opened = records();
    ASSERT_EQ(opened.size(), 1U) << "the shortcut was handed over more than once";
    auto record = readRecord(handlerFolder_ + "\\" + opened.front());
    EXPECT_EQ(record["verb"], "open");
    EXPECT_EQ(record["arguments"], "2") << "not just the verb and the file";
    // The shell passes the file's full path as %1; it must be the shortcut
    // beside the program, not one in the folder the launcher was started from.
    EXPECT_EQ(fileNameOf(record["file"]), kShortcutName);
    EXPECT_TRUE(samePath(folderOf(record["file"]), programFolder_)) << record["file"];
    EXPECT_TRUE(samePath(record["directory"], programFolder_)) << record["directory"];
    EXPECT_EQ(record["show"], kHidden);
}

TEST_F(LauncherOnWindows, HasEndedWhileTheHandlerIsStillRunning) {
    const UrlFileClass association = registerRecordingHandler();
    writeShortcut();
    writeFile(handlerFolder_ + "\\hold-ms.txt", "3000");

    const LaunchOutcome outcome = launchFromElsewhere(program_);

    ASSERT_TRUE(outcome.ended);
    // Had the launcher waited for its handler, the handler would be done by now.
    EXPECT_TRUE(filesMatching(handlerFolder_, kFinished).empty());
    EXPECT_EQ(outcome.exitCode, 0UL);
    EXPECT_TRUE(waitForFiles(handlerFolder_, kRecords, 1, kHangLimit));
    EXPECT_TRUE(waitForFiles(handlerFolder_, kFinished, 1, kHangLimit));
}

// Situations in which the hand-over cannot work: the launcher must still end
// at once with status 0 and say nothing, and no handler may run.
struct QuietCase {
    const char* name;
    bool shortcutPresent;
    bool openVerbRegistered;
};

void PrintTo(const QuietCase& situation, std::ostream* out) {
    *out << situation.name;
}

class LauncherOnWindowsStaysQuiet : public LauncherOnWindows,
                                    public ::testing::WithParamInterface<QuietCase> {};

TEST_P(LauncherOnWindowsStaysQuiet, EndsWithStatusZeroAndNoOutput) {
    const QuietCase& situation = GetParam();
    const UrlFileClass association =
        situation.openVerbRegistered ? registerRecordingHandler() : UrlFileClass({}, "");
    if (situation.shortcutPresent) {
        writeShortcut();
    }

    const LaunchOutcome outcome = launchFromElsewhere(program_);

    ASSERT_NO_FATAL_FAILURE(expectEndedQuietlyWithStatusZero(outcome));
    EXPECT_FALSE(waitForFiles(handlerFolder_, kRecords, 1, kQuietPeriod));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, LauncherOnWindowsStaysQuiet,
    ::testing::Values(
        // The shell itself finds the file missing, unlike xdg-open on Linux.
        QuietCase{"ShortcutAbsent", false, true},
        QuietCase{"NothingOpensUrlFiles", true, false}),
    [](const ::testing::TestParamInfo<QuietCase>& caseInfo) { return std::string(caseInfo.param.name); });

// Where the program finds its folder, wherever it lies: a probe built from the
// launcher's own program-folder code reports it. (Folders longer than MAX_PATH
// are tried by long_folder_test.sh: no CreateProcess can start a program there.)
struct FolderCase {
    const char* name;
    std::string relativeFolder;  // below the scratch folder
};

void PrintTo(const FolderCase& situation, std::ostream* out) {
    *out << situation.name;
}

class ProgramFolderOnWindows : public LauncherOnWindows,
                               public ::testing::WithParamInterface<FolderCase> {};

TEST_P(ProgramFolderOnWindows, IsTheFolderOfTheProgramFile) {
    const std::string folder = scratch_.path() + "\\" + GetParam().relativeFolder;
    makeFolder(folder);
    const std::string probe = folder + "\\" + PROGRAM_FOLDER_PROBE_NAME;
    copyFile(builtBesideThisTest(PROGRAM_FOLDER_PROBE_NAME), probe);

    const LaunchOutcome outcome = launchFromElsewhere(probe);

    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.exitCode, 0UL);
    EXPECT_TRUE(samePath(outcome.standardOutput, folder))
        << outcome.standardOutput << "\nexpected " << folder;
    EXPECT_EQ(outcome.standardOutput.size(), folder.size()) << "not the whole folder";
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ProgramFolderOnWindows,
    ::testing::Values(FolderCase{"Plain", "plain"},
                      FolderCase{"BlanksAndAmpersand", "shop & launcher\\sub folder"}),
    [](const ::testing::TestParamInfo<FolderCase>& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
}  // namespace launcher_windows_test
