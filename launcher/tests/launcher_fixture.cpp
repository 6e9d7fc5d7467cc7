#include "launcher_fixture.h"

namespace launcher_test {

void LauncherFixture::SetUp() {
    becomeSubreaper();
    programFolder_ = scratch_.path() / "shop & launcher";
    elsewhere_ = scratch_.path() / "elsewhere";
    standInBin_ = scratch_.path() / "stand-in-bin";
    record_ = scratch_.path() / "record";
    for (const fs::path& folder : {programFolder_, elsewhere_, standInBin_, record_}) {
        fs::create_directories(folder);
    }
    program_ = programFolder_ / "Vanto";
    fs::copy_file(VANTO_PROGRAM, program_);
}

void LauncherFixture::TearDown() {
    reapAllChildren(kHangLimit);
}

void LauncherFixture::installRecordingXdgOpen(int sleepSeconds) {
    const std::string record = record_.string();
    writeScript(standInBin_ / "xdg-open",
                "#!/bin/sh\n"
                "PATH=/usr/bin:/bin\n"
                "record='" + record + "'\n"
                "printf '%s\\0' \"$@\" > \"$record/args\"\n"
                "pwd -P > \"$record/cwd\"\n"
                "cat /proc/$$/stat > \"$record/stat\"\n"
                // Read before any redirection of the shell's own streams.
                "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
                "printf '%s\\n' \"$streams\" > \"$record/streams\"\n"
                "echo $$ > \"$record/pid\"\n"
                "mv \"$record/pid\" \"$record/started\"\n"
                "sleep " + std::to_string(sleepSeconds) + "\n"
                ": > \"$record/finished\"\n");
}

void LauncherFixture::writeShortcut() {
    writeFile(programFolder_ / kShortcutName,
              "[InternetShortcut]\r\nURL=https://shop.quenvaria.example/topup\r\n");
}

LaunchOutcome LauncherFixture::launchFrom(const fs::path& program,
                                          const std::vector<std::string>& environment) {
    return launch(program, elsewhere_, environment, scratch_.path() / "capture", kHangLimit);
}

std::vector<std::string> LauncherFixture::standInEnvironment() const {
    return {"PATH=" + standInBin_.string() + ":/usr/bin:/bin", "LANG=C"};
}

}  // namespace launcher_test
