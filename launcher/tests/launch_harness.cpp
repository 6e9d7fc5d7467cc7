#include "launch_harness.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace launcher_test {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);

// Owns a posix_spawn file-actions object.
class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
};

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// waitpid with a deadline; kills the process when the deadline passes.
std::optional<int> waitWithLimit(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return status;
        }
        if (done < 0 && errno != EINTR) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return std::nullopt;
}

}  // namespace

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "vanto-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void writeFile(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

void writeScript(const fs::path& file, const std::string& content) {
    writeFile(file, content);
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> readNulSeparated(const fs::path& file) {
    std::vector<std::string> items;
    std::istringstream in(readFile(file));
    for (std::string item; std::getline(in, item, '\0');) {
        items.push_back(item);
    }
    return items;
}

bool waitForFile(const fs::path& file, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(file)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

LaunchOutcome launch(const fs::path& program, const fs::path& workingDirectory,
                     const std::vector<std::string>& environment, const fs::path& captureFolder,
                     std::chrono::milliseconds limit) {
    const fs::path outputFile = captureFolder / "launcher.stdout";
    const fs::path errorFile = captureFolder / "launcher.stderr";
    fs::create_directories(captureFolder);

    SpawnActions actions;
    posix_spawn_file_actions_addchdir_np(actions.get(), workingDirectory.c_str());
    posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> arguments{program.string()};
    std::vector<std::string> variables = environment;
    auto argv = pointersTo(arguments);
    auto envp = pointersTo(variables);

    LaunchOutcome outcome;
    if (posix_spawn(&outcome.pid, program.c_str(), actions.get(), nullptr, argv.data(),
                    envp.data()) != 0) {
        throw std::runtime_error("cannot start " + program.string());
    }
    const std::optional<int> status = waitWithLimit(outcome.pid, limit);
    outcome.ended = status.has_value();
    if (status && WIFEXITED(*status)) {
        outcome.exitStatus = WEXITSTATUS(*status);
    }
    outcome.standardOutput = readFile(outputFile);
    outcome.standardError = readFile(errorFile);
    return outcome;
}

std::optional<ProcessStatus> parseProcessStatus(const std::string& statText) {
    // "pid (comm) state ppid pgrp session ..."; comm may hold blanks and ')'.
    const auto commandEnd = statText.rfind(')');
    if (commandEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(statText.substr(commandEnd + 1));
    ProcessStatus status;
    pid_t processGroup = -1;
    if (!(fields >> status.state >> status.parent >> processGroup >> status.session)) {
        return std::nullopt;
    }
    return status;
}

std::optional<std::string> readProcFile(const fs::path& file) {
    // Plain read(2): a process that ends between open and read makes the read fail
    // with ESRCH, which a file stream would turn into an exception.
    const int descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::string text;
    char buffer[512];
    for (;;) {
        const ssize_t count = read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            close(descriptor);
            return count == 0 ? std::optional<std::string>(text) : std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

std::optional<ProcessStatus> readProcessStatus(pid_t pid) {
    const auto text = readProcFile(fs::path("/proc") / std::to_string(pid) / "stat");
    return text ? parseProcessStatus(*text) : std::nullopt;
}

std::vector<pid_t> childrenOfThisProcess() {
    const pid_t self = getpid();
    std::vector<pid_t> children;
    // Processes come and go while we look: one that has vanished is simply not a
    // child, so neither a failed read nor a failed step of the listing is an error.
    std::error_code error;
    fs::directory_iterator entry("/proc", error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        const auto status = readProcessStatus(pid);
        if (status && status->parent == self) {
            children.push_back(pid);
        }
    }
    return children;
}

void becomeSubreaper() {
    if (prctl(PR_SET_CHILD_SUBREAPER, 1L, 0L, 0L, 0L) != 0) {
        throw std::runtime_error("cannot become a subreaper");
    }
}

void reapAllChildren(std::chrono::milliseconds limit) {
    // A killed child's own children are adopted by us in turn, hence the rounds.
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        const std::vector<pid_t> children = childrenOfThisProcess();
        if (children.empty()) {
            return;
        }
        for (const pid_t child : children) {
            waitWithLimit(child, limit);
        }
    }
}

}  // namespace launcher_test
