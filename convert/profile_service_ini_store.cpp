// The profile-string service on Linux: the library's own INI store (see
// profile_syntax.h, profile_store.h and profile_file.h for the format and the
// safe replacement of files).
//
// A null section, key or file reads nothing. A null value deletes the key, a null
// key deletes the section, a null section or file writes nothing.
#include "profile_file.h"
#include "profile_service.h"
#include "profile_store.h"
#include "profile_syntax.h"

namespace hexkit {

std::string readProfileValue(const char* section, const char* key, const char* file) {
    using namespace profile;
    if (section == nullptr || key == nullptr || file == nullptr) return {};
    const auto text = readFileText(file);
    if (!text) return {};
    const auto value = findValue(*text, trimBlanks(section), trimBlanks(key));
    if (!value) return {};
    // Values end at a zero byte, as they do for the caller.
    return std::string(value->substr(0, value->find('\0')));
}

void writeProfileValue(const char* value, const char* section, const char* key, const char* file) {
    using namespace profile;
    if (section == nullptr || file == nullptr) return;
    const auto sectionName = trimBlanks(section);
    if (!isStorableSectionName(sectionName)) return;

    if (key == nullptr) {
        replaceFileText(file, false,
                        [&](std::string_view text) { return withoutSection(text, sectionName); });
        return;
    }
    const auto keyName = trimBlanks(key);
    if (!isStorableKeyName(keyName)) return;

    if (value == nullptr) {
        replaceFileText(file, false, [&](std::string_view text) {
            return withoutKey(text, sectionName, keyName);
        });
        return;
    }
    if (!isStorableValue(value)) return;
    replaceFileText(file, true, [&](std::string_view text) {
        return withValue(text, sectionName, keyName, value);
    });
}

}  // namespace hexkit
