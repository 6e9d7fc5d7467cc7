// Hand-over of a file to the desktop's default handler.
#ifndef VANTO_START_URL_H
#define VANTO_START_URL_H

#include <cstdint>
#include <string>

namespace vanto {

// Opens fileName with the desktop's default handler for its type, with the
// program's own folder as the handler's working directory, so a bare file name
// means the file lying beside the program. StartURL never waits for the handler
// and never throws. What the handler then does with the file is not reflected.
//
// Linux: starts `xdg-open fileName` (opening is xdg-open's one and only
// action). The handler runs detached: in a session of its own, not a child of
// this process, with standard input, output and error on /dev/null. Returns 0
// when the handler was started, otherwise the errno value that stopped it
// (ENOENT when xdg-open is not on PATH or the program's folder is unknown).
//
// Windows: asks the shell to carry out the "Open" verb on fileName, hidden
// (ShellExecuteA with the desktop window as owner). Returns the shell's result
// as a 32-bit number: greater than 32 when the handler was started, otherwise
// the shell's error code (for example SE_ERR_FNF when the file is missing,
// SE_ERR_NOASSOC when nothing is registered to open it, SE_ERR_PNF when the
// program's folder is unknown).
std::int32_t StartURL(const std::string& fileName) noexcept;

}  // namespace vanto

#endif
