#include "module_path.h"

#include <windows.h>

namespace vanto {

namespace {

constexpr auto kNoSeparator = std::string::npos;

bool isSeparator(char character) {
    return character == '\\' || character == '/';
}

std::size_t lastSeparator(const std::string& path, UINT codePage) {
    std::size_t found = kNoSeparator;
    std::size_t position = 0;
    while (position < path.size()) {
        const char character = path[position];
        if (isSeparator(character)) {
            found = position;
        }
        const bool twoBytes = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(character)) != FALSE;
        position += twoBytes ? 2 : 1;
    }
    return found;
}

}  // namespace

std::optional<std::string> folderOfFile(const std::string& file, unsigned int codePage) {
    const std::size_t separator = lastSeparator(file, codePage);
    if (separator == kNoSeparator) {
        return std::nullopt;
    }
    const bool atDriveRoot = separator > 0 && file[separator - 1] == ':';
    return file.substr(0, atDriveRoot ? separator + 1 : separator);
}

}  // namespace vanto
