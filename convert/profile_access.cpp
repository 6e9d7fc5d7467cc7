// Reading and writing one value of a profile (INI) file for outside callers.
//
// A read passes the value through one library-wide 256-byte buffer, so a value
// reaches the caller with at most 255 characters; a mutex keeps two threads from
// filling that buffer at once. The file is read and searched outside the lock.
#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "hexkit_converter.h"
#include "profile_service.h"

namespace hexkit {

namespace {

constexpr std::size_t kValueBufferSize = 256;
constexpr char kNotFoundMarker[] = "-1";

std::array<char, kValueBufferSize> valueBuffer{};
std::mutex valueBufferMutex;

// Places at most 255 characters and a zero byte in the value buffer and returns
// how many characters it placed.
std::size_t fillValueBuffer(std::string_view value) {
    const auto count = std::min(value.size(), kValueBufferSize - 1);
    std::memcpy(valueBuffer.data(), value.data(), count);
    valueBuffer[count] = '\0';
    return count;
}

}  // namespace

long HexkitConverter::getProfileString(const char* section, const char* key, const char* file,
                                       char* out) const {
    if (out == nullptr) return 0;
    const std::string value = readProfileValue(section, key, file);

    const std::lock_guard lock(valueBufferMutex);
    const std::size_t count = fillValueBuffer(value);
    if (count == 0) {
        std::memcpy(out, kNotFoundMarker, sizeof kNotFoundMarker);
        return 0;
    }
    std::memcpy(out, valueBuffer.data(), count + 1);  // with its zero byte
    return 1;
}

int HexkitConverter::writeProfileString(const char* value, const char* section, const char* key,
                                        const char* file) const {
    writeProfileValue(value, section, key, file);
    // Every write reports 1, done or not: callers learn nothing from the result.
    return 1;
}

}  // namespace hexkit
