// The launcher against a recording stand-in for xdg-open.
#include "launcher_fixture.h"

#include <ostream>
#include <unistd.h>

namespace launcher_test {
namespace {

using Launcher = LauncherFixture;

pid_t standInPid(const fs::path& record) {
    return static_cast<pid_t>(std::stol(readFile(record / "started")));
}

TEST_F(Launcher, HandsItsBareShortcutNameToXdgOpenInItsOwnFolder) {
    writeShortcut();
    installRecordingXdgOpen(0);

    const LaunchOutcome outcome = launchFrom(program_, standInEnvironment());

    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.exitStatus, 0);
    ASSERT_TRUE(waitForFile(record_ / "started", kHangLimit));
    EXPECT_EQ(readNulSeparated(record_ / "args"), std::vector<std::string>{kShortcutName});
    EXPECT_EQ(readFile(record_ / "cwd"), fs::canonical(programFolder_).string() + "\n");
}

TEST_F(Launcher, StartedThroughASymlinkUsesTheFolderOfTheProgramFile) {
    writeShortcut();
    installRecordingXdgOpen(0);
    const fs::path link = elsewhere_ / "shop-link";
    fs::create_symlink(program_, link);

    const LaunchOutcome outcome = launchFrom(link, standInEnvironment());

    ASSERT_TRUE(outcome.ended);
    ASSERT_TRUE(waitForFile(record_ / "started", kHangLimit));
    EXPECT_EQ(readFile(record_ / "cwd"), fs::canonical(programFolder_).string() + "\n");
}

TEST_F(Launcher, HasEndedWhileTheHandlerIsStillRunning) {
    writeShortcut();
    installRecordingXdgOpen(2);

    const LaunchOutcome outcome = launchFrom(program_, standInEnvironment());

    ASSERT_TRUE(outcome.ended);
    // Had the launcher waited for its handler, the handler would be done by now.
    EXPECT_FALSE(fs::exists(record_ / "finished"));
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.standardError, "");
    ASSERT_TRUE(waitForFile(record_ / "started", kHangLimit));
    EXPECT_TRUE(waitForFile(record_ / "finished", kHangLimit));
}

TEST_F(Launcher, LeavesTheHandlerDetachedInASessionOfItsOwnOnDevNull) {
    writeShortcut();
    installRecordingXdgOpen(2);

    const LaunchOutcome outcome = launchFrom(program_, standInEnvironment());
    ASSERT_TRUE(outcome.ended);
    ASSERT_TRUE(waitForFile(record_ / "started", kHangLimit));
    const pid_t handler = standInPid(record_);

    const auto atStart = parseProcessStatus(readFile(record_ / "stat"));
    ASSERT_TRUE(atStart.has_value());
    EXPECT_NE(atStart->parent, outcome.pid) << "the launcher itself was the handler's parent";
    EXPECT_EQ(atStart->session, handler) << "the handler shares a session with its starter";
    EXPECT_EQ(readFile(record_ / "streams"), "/dev/null\n/dev/null\n/dev/null\n");

    // Orphaned and adopted by the nearest subreaper, which is this test.
    const auto now = readProcessStatus(handler);
    ASSERT_TRUE(now.has_value());
    EXPECT_EQ(now->parent, getpid());
    // Anything else the launcher started and left unreaped would have been
    // adopted by us as well, and a helper left unreaped shows as a zombie.
    for (const pid_t child : childrenOfThisProcess()) {
        const auto status = readProcessStatus(child);
        if (status) {
            EXPECT_NE(status->state, 'Z') << "zombie " << child << " left by the launcher";
        }
    }
    EXPECT_EQ(childrenOfThisProcess(), std::vector<pid_t>{handler});
}

// Situations in which the hand-over cannot work: the launcher must still end
// at once with status 0 and say nothing.
struct QuietCase {
    const char* name;
    bool shortcutPresent;
    enum class XdgOpen { Recording, Missing, NotExecutable } xdgOpen;
    bool handedOver;  // whether the stand-in is still asked to open the name
};

void PrintTo(const QuietCase& situation, std::ostream* out) {
    *out << situation.name;
}

class LauncherStaysQuiet : public LauncherFixture,
                           public ::testing::WithParamInterface<QuietCase> {};

TEST_P(LauncherStaysQuiet, EndsAtOnceWithStatusZeroAndNoOutput) {
    const QuietCase& situation = GetParam();
    if (situation.shortcutPresent) {
        writeShortcut();
    }
    switch (situation.xdgOpen) {
        case QuietCase::XdgOpen::Recording:
            installRecordingXdgOpen(0);
            break;
        case QuietCase::XdgOpen::Missing:
            break;
        case QuietCase::XdgOpen::NotExecutable:
            writeFile(standInBin_ / "xdg-open", "#!/bin/sh\n: > '" + record_.string() + "/started'\n");
            break;
    }
    // Only the stand-in folder is searched, so no real xdg-open can be found.
    const LaunchOutcome outcome = launchFrom(program_, {"PATH=" + standInBin_.string()});

    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.standardError, "");
    if (situation.handedOver) {
        ASSERT_TRUE(waitForFile(record_ / "started", kHangLimit));
        EXPECT_EQ(readNulSeparated(record_ / "args"), std::vector<std::string>{kShortcutName});
    } else {
        reapAllChildren(kHangLimit);
        EXPECT_FALSE(fs::exists(record_ / "started"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, LauncherStaysQuiet,
    ::testing::Values(
        // The launcher leaves the verdict on a missing file to the handler.
        QuietCase{"ShortcutAbsent", false, QuietCase::XdgOpen::Recording, true},
        QuietCase{"NoXdgOpenOnPath", true, QuietCase::XdgOpen::Missing, false},
        QuietCase{"XdgOpenNotExecutable", true, QuietCase::XdgOpen::NotExecutable, false}),
    [](const ::testing::TestParamInfo<QuietCase>& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
}  // namespace launcher_test
