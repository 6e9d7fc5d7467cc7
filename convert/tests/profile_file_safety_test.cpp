// What the profile store promises about the file itself: concurrent writers from
// several processes lose nothing, a write that cannot be carried out leaves the old
// file alone, the replacement keeps permissions and symbolic links, and the shared
// read buffer hands every thread its own value.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "profile_test_support.h"

namespace {

using profile_test::readBytes;
using profile_test::readValue;
using profile_test::TempFolder;
using profile_test::writeBytes;
using profile_test::writeValue;

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

std::string keyOf(int writer, int write) {
    return "w" + std::to_string(writer) + "k" + std::to_string(write);
}

std::string valueOf(int writer, int write) {
    return "value " + std::to_string(writer) + "/" + std::to_string(write);
}

// Waits for a child and gives its exit status, or -1 when it did not exit normally.
int exitStatusOf(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(ProfileFileSafety, ConcurrentWritersFromSeveralProcessesLoseNoKey) {
    constexpr int kWriters = 8;
    constexpr int kWritesEach = 50;
    TempFolder folder;
    const auto file = folder.file("shared.ini");
    writeBytes(file, "; shared by several writers\r\n[keep]\r\nold=1\r\n");

    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Half the writers use the same section so that they edit the same lines.
            const std::string section = (writer % 2 == 0) ? "even" : "w" + std::to_string(writer);
            for (int write = 0; write < kWritesEach; ++write)
                if (writeValue(valueOf(writer, write).c_str(), section.c_str(),
                               keyOf(writer, write).c_str(), file) != 1)
                    ::_exit(1);
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) EXPECT_EQ(exitStatusOf(child), 0);

    int missing = 0;
    for (int writer = 0; writer < kWriters; ++writer) {
        const std::string section = (writer % 2 == 0) ? "even" : "w" + std::to_string(writer);
        for (int write = 0; write < kWritesEach; ++write)
            if (readValue(section, keyOf(writer, write), file).out != valueOf(writer, write))
                ++missing;
    }
    EXPECT_EQ(missing, 0) << "updates lost between processes";
    EXPECT_EQ(readValue("keep", "old", file).out, "1");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"shared.ini"})
        << "temporary files left behind";
}

// Runs body in a child process as an unprivileged user; returns the child's exit
// status, or -2 when the identity could not be changed.
template <typename Body>
int runAsNobody(Body&& body) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::setgid(kNoGroup) != 0 || ::setuid(kNobody) != 0) ::_exit(100);
        ::_exit(body());
    }
    const int status = exitStatusOf(child);
    return status == 100 ? -2 : status;
}

TEST(ProfileFileSafety, WriteIntoReadOnlyFolderKeepsTheOldFile) {
    TempFolder folder;
    const auto file = folder.file("locked.ini");
    const std::string original = "[s]\r\nk=old\r\n";
    writeBytes(file, original);
    // The file itself may be written; only the folder refuses a new entry, so the
    // temporary file of the replacement cannot be made.
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);

    const auto attemptWrites = [&] {
        const bool results =
            writeValue("new", "s", "k", file) == 1 &&
            writeValue("v", "s", "k", folder.file("fresh.ini")) == 1 &&
            writeValue(nullptr, "s", nullptr, file) == 1;
        return results ? 0 : 1;
    };
    if (::geteuid() == 0) {
        // Root ignores permission bits: write as an unprivileged user instead.
        const int status = runAsNobody(attemptWrites);
        if (status == -2) GTEST_SKIP() << "cannot switch to user nobody to test a read-only folder";
        EXPECT_EQ(status, 0) << "a write did not return 1";
    } else {
        EXPECT_EQ(attemptWrites(), 0) << "a write did not return 1";
    }
    EXPECT_EQ(readBytes(file), original);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"locked.ini"});
    EXPECT_EQ(readValue("s", "k", file).out, "old");
}

TEST(ProfileFileSafety, ReplacementKeepsPermissionBits) {
    TempFolder folder;
    const auto file = folder.file("private.ini");
    writeBytes(file, "[s]\nk=1\n");
    ASSERT_EQ(::chmod(file.c_str(), 0604), 0);
    ASSERT_EQ(writeValue("2", "s", "k", file), 1);
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    EXPECT_EQ(readBytes(file), "[s]\nk=2\n");
}

TEST(ProfileFileSafety, SymbolicLinkKeepsPointingAtTheRewrittenTarget) {
    TempFolder folder;
    std::filesystem::create_directory(folder.file("real"));
    const auto target = folder.file("real/settings.ini");
    const auto link = folder.file("settings.ini");
    writeBytes(target, "[s]\nk=1\n");
    std::filesystem::create_symlink("real/settings.ini", link);  // relative to the link's folder

    ASSERT_EQ(writeValue("2", "s", "k", link), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readBytes(target), "[s]\nk=2\n");
    EXPECT_EQ(readValue("s", "k", link).out, "2");
}

TEST(ProfileFileSafety, DanglingSymbolicLinkCreatesItsTarget) {
    TempFolder folder;
    const auto link = folder.file("link.ini");
    std::filesystem::create_symlink(folder.file("target.ini"), link);
    ASSERT_EQ(writeValue("v", "s", "k", link), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readBytes(folder.file("target.ini")), "[s]\nk=v\n");
}

TEST(ProfileFileSafety, ThreadsReadingAtOnceEachGetTheirOwnValue) {
    constexpr int kThreads = 8;
    constexpr int kReadsEach = 300;
    TempFolder folder;
    const auto file = folder.file("many.ini");
    std::string text = "[s]\n";
    // Values of different lengths, so that a buffer shared without a lock would
    // hand a thread another thread's characters or a wrong terminator.
    std::vector<std::string> values;
    for (int thread = 0; thread < kThreads; ++thread) {
        values.push_back(std::string(static_cast<std::size_t>(20 + 30 * thread),
                                     static_cast<char>('a' + thread)));
        text += "k" + std::to_string(thread) + "=" + values.back() + "\n";
    }
    writeBytes(file, text);

    std::atomic<int> wrongReads{0};
    std::vector<std::thread> readers;
    for (int thread = 0; thread < kThreads; ++thread)
        readers.emplace_back([&, thread] {
            for (int read = 0; read < kReadsEach; ++read) {
                const auto result = readValue("s", "k" + std::to_string(thread), file);
                if (result.result != 1 || result.out != values[static_cast<std::size_t>(thread)])
                    ++wrongReads;
            }
        });
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(wrongReads.load(), 0);
}

}  // namespace
