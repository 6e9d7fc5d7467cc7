// The launcher with Debian's own xdg-open, headless and fenced in: a scratch
// HOME and XDG folders (no handler registered anywhere), no display, no
// desktop session, no mailcap, and BROWSER pointing at a recorder, so whatever
// xdg-open decides it cannot reach a real desktop or browser.
#include "launcher_fixture.h"

namespace launcher_test {
namespace {

constexpr const char* kRealXdgOpen = "/usr/bin/xdg-open";
constexpr auto kXdgOpenLimit = std::chrono::milliseconds(30000);

class LauncherWithRealXdgOpen : public LauncherFixture {
protected:
    void SetUp() override {
        LauncherFixture::SetUp();
        home_ = scratch_.path() / "home";
        for (const char* folder : {".config", ".local/share", ".cache"}) {
            fs::create_directories(home_ / folder);
        }
        fs::create_directories(scratch_.path() / "xdg-data");
        fs::create_directories(scratch_.path() / "xdg-config");
        writeFile(scratch_.path() / "mailcap", "");
        // Notes that xdg-open was run and how it ended, around the real one.
        const std::string record = record_.string();
        writeScript(standInBin_ / "xdg-open",
                    "#!/bin/sh\n"
                    "record='" + record + "'\n"
                    "printf '%s\\0' \"$@\" > \"$record/args\"\n"
                    "pwd -P > \"$record/cwd\"\n"
                    ": > \"$record/started\"\n"
                    + std::string(kRealXdgOpen) + " \"$@\"\n"
                    "echo $? > \"$record/status\"\n"
                    "mv \"$record/status\" \"$record/finished\"\n");
        writeScript(scratch_.path() / "browser",
                    "#!/bin/sh\n"
                    "printf '%s\\0' \"$@\" > '" + record + "/browser-args'\n");
    }

    std::vector<std::string> fencedEnvironment() const {
        const std::string home = home_.string();
        return {
            "PATH=" + standInBin_.string() + ":/usr/bin:/bin",
            "HOME=" + home,
            "XDG_CONFIG_HOME=" + home + "/.config",
            "XDG_DATA_HOME=" + home + "/.local/share",
            "XDG_CACHE_HOME=" + home + "/.cache",
            "XDG_DATA_DIRS=" + (scratch_.path() / "xdg-data").string(),
            "XDG_CONFIG_DIRS=" + (scratch_.path() / "xdg-config").string(),
            "MAILCAPS=" + (scratch_.path() / "mailcap").string(),
            "BROWSER=" + (scratch_.path() / "browser").string(),
            "LANG=C",
        };
    }

    fs::path home_;
};

TEST_F(LauncherWithRealXdgOpen, InvokesItHeadlessAndEndsAtOnce) {
    ASSERT_TRUE(fs::exists(kRealXdgOpen)) << "xdg-utils is not installed";
    writeShortcut();

    const LaunchOutcome outcome = launchFrom(program_, fencedEnvironment());

    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.standardError, "");
    ASSERT_TRUE(waitForFile(record_ / "started", kHangLimit));
    EXPECT_EQ(readNulSeparated(record_ / "args"), std::vector<std::string>{kShortcutName});
    EXPECT_EQ(readFile(record_ / "cwd"), fs::canonical(programFolder_).string() + "\n");
    // xdg-open may open the file through BROWSER or give up; it must not hang.
    ASSERT_TRUE(waitForFile(record_ / "finished", kXdgOpenLimit)) << "xdg-open did not finish";
    RecordProperty("xdg_open_status", readFile(record_ / "finished"));
    if (fs::exists(record_ / "browser-args")) {
        RecordProperty("browser_args", readFile(record_ / "browser-args"));
    }
}

}  // namespace
}  // namespace launcher_test
