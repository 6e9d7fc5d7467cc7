// Where the wire trace goes on Linux: standard error, or a file opened for
// appending, so that several processes may share one trace file line by line.
#ifndef QVR_ACR122_TRACE_SINK_H
#define QVR_ACR122_TRACE_SINK_H

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace qvr::trace {

// The descriptor for the setting ("stderr" or a path), or -1 when it cannot be
// opened. The file is never handed on to programs the caller starts.
inline int openSink(const char* setting) noexcept {
    if (std::strcmp(setting, "stderr") == 0) return STDERR_FILENO;
    return ::open(setting, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

// One write for one line: lines of several threads or processes never interleave.
inline void writeLine(int sink, const char* line, std::size_t length) noexcept {
    [[maybe_unused]] const ssize_t written = ::write(sink, line, length);
}

}  // namespace qvr::trace

#endif
