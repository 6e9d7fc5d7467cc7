// The profile-string service on Windows: the system's own profile functions,
// called with the single-byte strings the exports receive, unchanged. What a
// null section, key or value means, and where a file name without a folder
// lies, is the system's convention.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <array>

#include "profile_service.h"

namespace hexkit {
namespace {

// The system places at most 255 characters and a zero byte here.
constexpr DWORD kValueCapacity = 256;

}  // namespace

std::string readProfileValue(const char* section, const char* key, const char* file) {
    std::array<char, kValueCapacity> value{};
    const DWORD count =
        GetPrivateProfileStringA(section, key, "", value.data(), kValueCapacity, file);
    return std::string(value.data(), count < kValueCapacity ? count : kValueCapacity - 1);
}

void writeProfileValue(const char* value, const char* section, const char* key, const char* file) {
    static_cast<void>(WritePrivateProfileStringA(section, key, value, file));
}

}  // namespace hexkit
