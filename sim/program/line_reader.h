// Collects text lines from a descriptor that poll() reports readable.
#ifndef VREADER_LINE_READER_H
#define VREADER_LINE_READER_H

#include <optional>
#include <string>

namespace vreader {

class LineReader {
public:
    // Reads what is there; false at end of input or on an error.
    bool fillFrom(int descriptor);
    // The next complete line without its line end, if one has arrived.
    std::optional<std::string> nextLine();

private:
    static constexpr std::size_t kMaxLine = 4096;
    std::string buffer_;
};

}  // namespace vreader

#endif
