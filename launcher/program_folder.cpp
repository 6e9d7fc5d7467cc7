#include "program_folder.h"

#include <system_error>

std::optional<std::filesystem::path> programFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path()) {
        return std::nullopt;
    }
    return program.parent_path();
}
