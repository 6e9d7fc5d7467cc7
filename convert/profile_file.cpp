#include "profile_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <utility>

namespace hexkit::profile {

namespace {

// A writer that keeps finding the file replaced under it gives up eventually.
constexpr int kMaxLockAttempts = 1000;
constexpr int kMaxSymlinkHops = 40;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file
constexpr mode_t kPermissionBits = 07777;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    void reset(int fd) noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    // Closes now and reports what close() said: a failed close can mean lost data.
    bool close() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of symbolic links ends at (or path itself). The rename must
// happen there: renaming over the link would replace the link with a plain file.
std::string followSymlinks(std::string path) {
    for (int hop = 0; hop < kMaxSymlinkHops; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        std::array<char, PATH_MAX> target{};
        const auto length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) return path;
        std::string next(target.data(), static_cast<std::size_t>(length));
        if (next.front() != '/') next = folderOf(path).append("/").append(next);
        path = std::move(next);
    }
    return path;
}

bool readAll(int fd, std::string& text) {
    std::array<char, 8192> chunk{};
    off_t offset = 0;
    for (;;) {
        const auto count = ::pread(fd, chunk.data(), chunk.size(), offset);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return false;
        if (count == 0) return true;
        text.append(chunk.data(), static_cast<std::size_t>(count));
        offset += count;
    }
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const auto count = ::write(fd, text.data(), text.size());
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

bool lockExclusive(int fd) {
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) return false;
    return true;
}

// After waiting for the lock the path may name a newer file that another writer
// renamed into place; a lock on the old, now nameless file protects nothing.
bool pathStillNames(const std::string& path, const struct stat& locked) {
    struct stat current {};
    return ::stat(path.c_str(), &current) == 0 && current.st_dev == locked.st_dev &&
           current.st_ino == locked.st_ino;
}

void syncFolder(const std::string& folder) {
    const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());  // the rename is done; this only makes it durable
}

void keepOwner(int fd, const struct stat& original) {
    if (original.st_uid == ::geteuid() && original.st_gid == ::getegid()) return;
    if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
        // Only a privileged writer may give the file away; otherwise it keeps ours.
    }
}

bool replaceByRename(const std::string& target, const struct stat& original,
                     std::string_view text) {
    std::string temporary = folderOf(target) + "/." + nameOf(target) + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) return false;
    keepOwner(fd.get(), original);
    const bool written = writeAll(fd.get(), text) &&
                         ::fchmod(fd.get(), original.st_mode & kPermissionBits) == 0 &&
                         ::fsync(fd.get()) == 0;
    const bool closed = fd.close();
    if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

enum class OpenResult { Opened, Missing, Raced, Failed };

OpenResult openForUpdate(const std::string& target, bool createIfMissing, FileDescriptor& fd,
                         bool& created) {
    created = false;
    fd.reset(::open(target.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.valid()) return OpenResult::Opened;
    if (errno != ENOENT) return OpenResult::Failed;
    if (!createIfMissing) return OpenResult::Missing;
    fd.reset(::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode));
    if (fd.valid()) {
        created = true;
        return OpenResult::Opened;
    }
    return errno == EEXIST ? OpenResult::Raced : OpenResult::Failed;
}

}  // namespace

std::optional<std::string> readFileText(const char* path) {
    // No lock: a writer renames a complete file into place, so any open sees a
    // whole version of the file.
    const FileDescriptor fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return std::nullopt;
    std::string text;
    if (!readAll(fd.get(), text)) return std::nullopt;
    return text;
}

ReplaceOutcome replaceFileText(const char* path, bool createIfMissing,
                               const std::function<std::string(std::string_view)>& edit) {
    for (int attempt = 0; attempt < kMaxLockAttempts; ++attempt) {
        const std::string target = followSymlinks(path);
        FileDescriptor fd;
        bool created = false;
        switch (openForUpdate(target, createIfMissing, fd, created)) {
            case OpenResult::Opened: break;
            case OpenResult::Missing: return ReplaceOutcome::Unchanged;
            case OpenResult::Raced: continue;
            case OpenResult::Failed: return ReplaceOutcome::Failed;
        }
        struct stat locked {};
        if (!lockExclusive(fd.get()) || ::fstat(fd.get(), &locked) != 0)
            return ReplaceOutcome::Failed;
        if (!pathStillNames(target, locked)) continue;

        std::string current;
        if (!readAll(fd.get(), current)) return ReplaceOutcome::Failed;
        std::string updated;
        try {
            updated = edit(current);
        } catch (...) {
            if (created) ::unlink(target.c_str());  // no empty file left by a failed edit
            throw;
        }
        if (updated == current) {
            // A file created only to hold the lock goes again; writers waiting on it
            // see it gone and start over.
            if (created) ::unlink(target.c_str());
            return ReplaceOutcome::Unchanged;
        }
        if (replaceByRename(target, locked, updated)) return ReplaceOutcome::Replaced;
        if (created) ::unlink(target.c_str());
        return ReplaceOutcome::Failed;
    }
    return ReplaceOutcome::Failed;
}

}  // namespace hexkit::profile
