// Where the wire trace goes on Windows: standard error, or a file opened for
// appending through the C runtime, not inherited by programs the caller starts.
#ifndef QVR_ACR122_TRACE_SINK_H
#define QVR_ACR122_TRACE_SINK_H

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstring>

namespace qvr::trace {

inline int openSink(const char* setting) noexcept {
    if (std::strcmp(setting, "stderr") == 0) return 2;
    return ::_open(setting, _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
}

inline void writeLine(int sink, const char* line, std::size_t length) noexcept {
    ::_write(sink, line, static_cast<unsigned int>(length));
}

}  // namespace qvr::trace

#endif
