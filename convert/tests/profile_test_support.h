// Scratch folders and file helpers for the profile-string tests.
#ifndef HEXKIT_TESTS_PROFILE_TEST_SUPPORT_H
#define HEXKIT_TESTS_PROFILE_TEST_SUPPORT_H

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "convert_api.h"

namespace profile_test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "hexkit-ini-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        ::chmod(path_.c_str(), 0700);  // a test may have made it read-only
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::string path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream << bytes;
}

inline std::optional<std::string> readBytes(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

inline ino_t inodeOf(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

struct ReadResult {
    long result;
    std::string out;
};

constexpr char kUntouched = 'Z';
constexpr std::size_t kOutSize = 256;

// Reads through the export into a 256-byte buffer followed by guard bytes, and
// fails the test when anything beyond 256 bytes was written.
inline ReadResult readValue(std::optional<std::string> section, std::optional<std::string> key,
                            const std::optional<std::string>& file) {
    std::array<char, kOutSize + 16> out{};
    out.fill(kUntouched);
    const long result =
        oGetPrivateProfileString(section ? section->data() : nullptr, key ? key->data() : nullptr,
                                 file ? file->c_str() : nullptr, out.data());
    for (std::size_t i = kOutSize; i < out.size(); ++i)
        if (out[i] != kUntouched) return {-100, "written beyond 256 bytes"};
    return {result, std::string(out.data(), ::strnlen(out.data(), kOutSize))};
}

inline int writeValue(const char* value, const char* section, const char* key,
                      const std::string& file) {
    return oWritePrivateProfileString(value, section, key, file.c_str());
}

}  // namespace profile_test

#endif
