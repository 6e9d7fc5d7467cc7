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
#include "profile_file.h"
#include "profile_store.h"
#include "profile_syntax.h"

namespace {

constexpr std::size_t kValueBufferSize = 256;
constexpr char kNotFoundMarker[] = "-1";

std::array<char, kValueBufferSize> valueBuffer{};
std::mutex valueBufferMutex;

std::string lookUpValue(const char* section, const char* key, const char* file) {
    using namespace hexkit::profile;
    if (section == nullptr || key == nullptr || file == nullptr) return {};
    const auto text = readFileText(file);
    if (!text) return {};
    const auto value = findValue(*text, trimBlanks(section), trimBlanks(key));
    if (!value) return {};
    // Values end at a zero byte, as they do for the caller.
    return std::string(value->substr(0, value->find('\0')));
}

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
    const std::string value = lookUpValue(section, key, file);

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
    using namespace hexkit::profile;
    // Every write reports 1, done or not: callers learn nothing from the result.
    constexpr int kWriteResult = 1;
    if (section == nullptr || file == nullptr) return kWriteResult;
    const auto sectionName = trimBlanks(section);
    if (!isStorableSectionName(sectionName)) return kWriteResult;

    if (key == nullptr) {
        replaceFileText(file, false,
                        [&](std::string_view text) { return withoutSection(text, sectionName); });
        return kWriteResult;
    }
    const auto keyName = trimBlanks(key);
    if (!isStorableKeyName(keyName)) return kWriteResult;

    if (value == nullptr) {
        replaceFileText(file, false, [&](std::string_view text) {
            return withoutKey(text, sectionName, keyName);
        });
        return kWriteResult;
    }
    if (!isStorableValue(value)) return kWriteResult;
    replaceFileText(file, true, [&](std::string_view text) {
        return withValue(text, sectionName, keyName, value);
    });
    return kWriteResult;
}
