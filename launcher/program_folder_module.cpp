#include "program_folder.h"

#include "module_path.h"

#include <windows.h>

#include <algorithm>

namespace vanto {

namespace {

// No Windows path is longer (in characters, with the \\?\ prefix).
constexpr DWORD kLongestPath = 32768;

// The full path of our own program file. GetModuleFileNameA cuts a name that
// does not fit (older systems without even a terminating NUL and without an
// error code), so a result that fills the buffer is taken as cut and fetched
// again with more room, up to the longest path there can be.
std::optional<std::string> programFile() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), capacity);
        if (length == 0) {
            return std::nullopt;
        }
        if (length < capacity) {
            path.resize(length);
            return path;
        }
        if (capacity >= kLongestPath) {
            return std::nullopt;
        }
        path.resize(std::min(capacity * 2, kLongestPath));
    }
}

}  // namespace

std::optional<std::string> programFolder() {
    const auto program = programFile();
    if (!program) {
        return std::nullopt;
    }
    // GetModuleFileNameA spells the path in the ANSI code page.
    return folderOfFile(*program, CP_ACP);
}

}  // namespace vanto
