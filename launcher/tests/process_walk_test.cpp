// The look at our children walks every process on the machine; processes end
// while it walks, and that must never make the walk fail.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "launch_harness.h"

namespace launcher_test {
namespace {

using namespace std::chrono_literals;

// Starts and reaps short-lived processes as fast as it can until stopped, so that
// some of them end while the walk has their /proc entry open.
class ProcessChurn {
public:
    ProcessChurn() : worker_([this] { run(); }) {}
    ~ProcessChurn() {
        stop_ = true;
        worker_.join();
    }
    ProcessChurn(const ProcessChurn&) = delete;
    ProcessChurn& operator=(const ProcessChurn&) = delete;

    int started() const { return started_; }

private:
    void run() {
        char program[] = "/bin/true";
        char* argv[] = {program, nullptr};
        char* envp[] = {nullptr};
        while (!stop_) {
            pid_t pid = -1;
            if (posix_spawn(&pid, program, nullptr, nullptr, argv, envp) != 0) continue;
            ++started_;
            int status = 0;
            waitpid(pid, &status, 0);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> started_{0};
    std::thread worker_;
};

TEST(ProcessWalk, ToleratesProcessesThatEndWhileItLooks) {
    ProcessChurn churn;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    int walks = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        ASSERT_NO_THROW(childrenOfThisProcess()) << "after " << walks << " walks";
        ++walks;
    }
    EXPECT_GT(churn.started(), 100) << "the churn must really start processes beside the walk";
}

TEST(ProcessWalk, AProcessThatHasEndedHasNoStatus) {
    char program[] = "/bin/true";
    char* argv[] = {program, nullptr};
    char* envp[] = {nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, program, nullptr, nullptr, argv, envp), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(readProcessStatus(pid).has_value());
    EXPECT_FALSE(readProcFile("/proc/" + std::to_string(pid) + "/stat").has_value());
}

}  // namespace
}  // namespace launcher_test
