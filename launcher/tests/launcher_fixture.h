// A launcher installed in a scratch folder whose name has blanks and an '&',
// started from another folder, with a recording xdg-open first on PATH.
#ifndef VANTO_TESTS_LAUNCHER_FIXTURE_H
#define VANTO_TESTS_LAUNCHER_FIXTURE_H

#include "launch_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace launcher_test {

inline constexpr const char* kShortcutName = "Topup & Shop @ Quenvaria.URL";
// Generous limits that only catch a hang; the tests assert order, not speed.
inline constexpr auto kHangLimit = std::chrono::milliseconds(10000);

class LauncherFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A stand-in xdg-open that records its arguments, working directory,
    // /proc stat line and standard streams, marks "started" (holding its pid)
    // once all that is written, sleeps, then marks "finished".
    void installRecordingXdgOpen(int sleepSeconds);
    void writeShortcut();

    LaunchOutcome launchFrom(const fs::path& program, const std::vector<std::string>& environment);
    std::vector<std::string> standInEnvironment() const;

    ScratchFolder scratch_;
    fs::path programFolder_;
    fs::path program_;
    fs::path elsewhere_;   // the current directory the launcher is started from
    fs::path standInBin_;  // first on PATH
    fs::path record_;      // what the stand-in saw
};

}  // namespace launcher_test

#endif
