// Where the running program lies, whatever the current directory.
#ifndef VANTO_PROGRAM_FOLDER_H
#define VANTO_PROGRAM_FOLDER_H

#include <optional>
#include <string>

namespace vanto {

// The folder that holds the running program's file, spelt as the system's
// narrow-character calls take it (a plain path on Linux, a path in the ANSI code
// page on Windows), so it can go straight to the call that starts the handler.
// Empty when the system cannot tell.
//
// Linux: from /proc/self/exe, with symbolic links on the way to the program
// already resolved; empty without /proc.
// Windows: from GetModuleFileNameA, however long the path; a program at the root
// of a drive gives the root itself ("C:\"), not the bare drive ("C:", which
// would mean that drive's current directory).
std::optional<std::string> programFolder();

}  // namespace vanto

#endif
