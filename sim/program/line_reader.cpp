#include "program/line_reader.h"

#include <cerrno>
#include <unistd.h>

namespace vreader {

bool LineReader::fillFrom(int descriptor) {
    char chunk[512];
    ssize_t n;
    do {
        n = ::read(descriptor, chunk, sizeof chunk);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    // A peer that never ends its line gets cut off rather than filling memory.
    return buffer_.size() <= kMaxLine || buffer_.find('\n') != std::string::npos;
}

std::optional<std::string> LineReader::nextLine() {
    const auto end = buffer_.find('\n');
    if (end == std::string::npos) return std::nullopt;
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace vreader
