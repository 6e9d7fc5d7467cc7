#include "start_url.h"

#include "program_folder.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vanto {

namespace {

// The freedesktop front door to the desktop's file associations.
constexpr const char* kDesktopOpener = "xdg-open";
constexpr const char* kNullDevice = "/dev/null";

// How the handler is started: in the program's folder, in a session of its own,
// with its standard streams on /dev/null (so it holds no terminal and no pipe of
// whoever started us) and with default signal handling and an empty signal mask
// whatever this process inherited. Owns the posix_spawn objects and releases
// them on every path.
class DetachedSpawnSetup {
public:
    DetachedSpawnSetup() noexcept
        : actionsReady_(posix_spawn_file_actions_init(&actions_) == 0),
          attributesReady_(posix_spawnattr_init(&attributes_) == 0) {}

    ~DetachedSpawnSetup() {
        if (actionsReady_) {
            posix_spawn_file_actions_destroy(&actions_);
        }
        if (attributesReady_) {
            posix_spawnattr_destroy(&attributes_);
        }
    }

    DetachedSpawnSetup(const DetachedSpawnSetup&) = delete;
    DetachedSpawnSetup& operator=(const DetachedSpawnSetup&) = delete;

    // Returns 0, or the errno value that prevents the setup.
    int configure(const char* workingDirectory) noexcept {
        if (!actionsReady_ || !attributesReady_) {
            return ENOMEM;
        }
        if (const int error = posix_spawn_file_actions_addchdir_np(&actions_, workingDirectory)) {
            return error;
        }
        if (const int error = redirectStandardStreamsToNull()) {
            return error;
        }
        return resetSignalsAndDetach();
    }

    // Starts the handler; returns 0 or the errno value of the failed start
    // (glibc reports a failed exec here, not only a failed fork).
    int spawn(char* const argv[]) noexcept {
        pid_t handler = 0;
        return posix_spawnp(&handler, kDesktopOpener, &actions_, &attributes_, argv, environ);
    }

private:
    int redirectStandardStreamsToNull() noexcept {
        struct Stream {
            int descriptor;
            int openMode;
        };
        for (const Stream stream : {Stream{STDIN_FILENO, O_RDONLY}, Stream{STDOUT_FILENO, O_WRONLY},
                                    Stream{STDERR_FILENO, O_WRONLY}}) {
            if (const int error = posix_spawn_file_actions_addopen(&actions_, stream.descriptor,
                                                                   kNullDevice, stream.openMode, 0)) {
                return error;
            }
        }
        return 0;
    }

    int resetSignalsAndDetach() noexcept {
        sigset_t everySignal;
        sigset_t noSignal;
        sigfillset(&everySignal);
        sigemptyset(&noSignal);
        if (const int error = posix_spawnattr_setsigdefault(&attributes_, &everySignal)) {
            return error;
        }
        if (const int error = posix_spawnattr_setsigmask(&attributes_, &noSignal)) {
            return error;
        }
        return posix_spawnattr_setflags(
            &attributes_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }

    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
    bool actionsReady_;
    bool attributesReady_;
};

// The intermediate child's exit status carries its spawn result (errno values
// fit in the 8 bits of an exit status).
int helperResult(pid_t helper) noexcept {
    int status = 0;
    while (waitpid(helper, &status, 0) < 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : ECHILD;
}

// Double fork: a short-lived helper child starts the handler and exits at once,
// so the handler is orphaned immediately and adopted by init (or the nearest
// subreaper). This process never becomes the handler's parent, waits only for
// the helper (not for the handler) and reaps it, so no zombie is left behind.
int startDetached(DetachedSpawnSetup& setup, char* const argv[]) noexcept {
    const pid_t helper = fork();
    if (helper < 0) {
        return errno;
    }
    if (helper == 0) {
        _exit(setup.spawn(argv));
    }
    return helperResult(helper);
}

}  // namespace

std::int32_t StartURL(const std::string& fileName) noexcept {
    try {
        const auto folder = programFolder();
        if (!folder) {
            return ENOENT;
        }
        DetachedSpawnSetup setup;
        if (const int error = setup.configure(folder->c_str())) {
            return error;
        }
        // No parameters beyond the file name: xdg-open takes exactly one target.
        std::string opener = kDesktopOpener;
        std::string target = fileName;
        char* const argv[] = {opener.data(), target.data(), nullptr};
        return startDetached(setup, argv);
    } catch (...) {
        // Only the copies of the names above can throw, and only for lack of memory.
        return ENOMEM;
    }
}

}  // namespace vanto
