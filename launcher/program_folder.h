// Where the running program lies, whatever the current directory.
#pragma once

#include <filesystem>
#include <optional>

// The folder that holds the running program's file, as the kernel records it in
// /proc/self/exe (symbolic links on the way to the program are already resolved).
// Empty when the kernel cannot tell, e.g. without /proc.
std::optional<std::filesystem::path> programFolder();
