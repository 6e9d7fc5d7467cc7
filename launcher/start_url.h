// Hand-over of a file to the desktop's default handler.
#pragma once

#include <cstdint>
#include <string>

// Opens fileName with the desktop's default handler for its type, by starting
// `xdg-open fileName` (opening is xdg-open's one and only action) with the
// program's own folder as the handler's working directory, so a bare file name
// means the file lying beside the program. The handler runs detached: in a
// session of its own, not a child of this process, with standard input, output
// and error on /dev/null. StartURL never waits for it and never throws.
//
// Returns 0 when the handler was started, otherwise the errno value that stopped
// it (ENOENT when xdg-open is not on PATH or the program's folder is unknown).
// What the handler then does with the file is not reflected.
std::int32_t StartURL(const std::string& fileName) noexcept;
