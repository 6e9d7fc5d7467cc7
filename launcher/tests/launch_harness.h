// Scaffolding for the launcher tests: a scratch folder, recording stand-in
// scripts, starting the launcher with an exact environment, and a look at the
// processes the launcher leaves behind (the test process acts as their
// subreaper, so orphans of the launcher become its children).
#ifndef VANTO_TESTS_LAUNCH_HARNESS_H
#define VANTO_TESTS_LAUNCH_HARNESS_H

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace launcher_test {

namespace fs = std::filesystem;

// A private folder under the temporary directory, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void writeFile(const fs::path& file, const std::string& content);
void writeScript(const fs::path& file, const std::string& content);  // executable
std::string readFile(const fs::path& file);
// Arguments as recorded with printf '%s\0' "$@".
std::vector<std::string> readNulSeparated(const fs::path& file);
// Polls until the file exists; false when the limit passes first.
bool waitForFile(const fs::path& file, std::chrono::milliseconds limit);

struct LaunchOutcome {
    pid_t pid = -1;
    bool ended = false;  // within the limit; otherwise the program was killed
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string standardOutput;
    std::string standardError;
};

// Runs program (argv[0] = its path) in workingDirectory with exactly the given
// environment, standard input from /dev/null and standard output and error
// captured in files under captureFolder. Waits at most limit.
LaunchOutcome launch(const fs::path& program, const fs::path& workingDirectory,
                     const std::vector<std::string>& environment, const fs::path& captureFolder,
                     std::chrono::milliseconds limit);

struct ProcessStatus {
    char state = '?';
    pid_t parent = -1;
    pid_t session = -1;
};

// From /proc/<pid>/stat, or its text as recorded (the text after the command
// name is what counts, so a command name with blanks is read correctly).
// Nothing when the process has ended (or ends while it is read).
std::optional<ProcessStatus> readProcessStatus(pid_t pid);
// A whole file under /proc, or nothing when it cannot be read to its end.
std::optional<std::string> readProcFile(const fs::path& file);
std::optional<ProcessStatus> parseProcessStatus(const std::string& statText);

std::vector<pid_t> childrenOfThisProcess();

// Makes orphans of our descendants our children.
void becomeSubreaper();
// Waits up to limit for every child to end, then kills and reaps the rest.
void reapAllChildren(std::chrono::milliseconds limit);

}  // namespace launcher_test

#endif
