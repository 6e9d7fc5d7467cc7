// Splitting a Windows path held in a narrow (ANSI code page) string.
#ifndef VANTO_MODULE_PATH_H
#define VANTO_MODULE_PATH_H

#include <optional>
#include <string>

namespace vanto {

// The folder part of a full file path: everything before the last '\' or '/',
// except that a file at the root of a drive gives the root with its separator
// ("C:\Vanto.exe" gives "C:\"; a bare "C:" would mean the drive's current
// directory). Empty when the path holds no separator.
//
// The path is read character by character in codePage, because in double-byte
// code pages (932, 936, 949, 950) the second byte of a character can have the
// value of '\' and must not be taken for a separator.
std::optional<std::string> folderOfFile(const std::string& file, unsigned int codePage);

}  // namespace vanto

#endif
