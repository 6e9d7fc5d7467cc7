#include "windows_scaffold.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace launcher_windows_test {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr const char* kUrlExtension = ".URL";
constexpr const char* kTestClass = "Quenvaria.VantoTestShortcut";

std::runtime_error lastError(const std::string& what) {
    return std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

// Owns a kernel handle.
class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Owns an open registry key.
class RegistryKey {
public:
    RegistryKey(HKEY parent, const std::string& name) {
        if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            throw std::runtime_error("cannot open registry key " + name);
        }
    }
    ~RegistryKey() { RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    std::optional<std::string> defaultValue() const {
        char value[1024] = {};
        DWORD size = sizeof value - 1;
        DWORD type = 0;
        if (RegQueryValueExA(key_, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ) {
            return std::nullopt;
        }
        return std::string(value);
    }
    void setDefaultValue(const std::string& value) {
        if (RegSetValueExA(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS) {
            throw std::runtime_error("cannot set registry value " + value);
        }
    }
    void deleteDefaultValue() { RegDeleteValueA(key_, nullptr); }

private:
    HKEY key_ = nullptr;
};

// An inheritable handle, for a child's standard streams; the caller owns it.
HANDLE openInheritable(const std::string& file, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE handle = CreateFileA(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inheritable, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw lastError("cannot open " + file);
    }
    return handle;
}

std::string longForm(const std::string& path) {
    char full[32768];
    const DWORD fullLength = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    std::string result = fullLength > 0 && fullLength < sizeof full ? full : path;
    char longer[32768];
    const DWORD longLength = GetLongPathNameA(result.c_str(), longer, sizeof longer);
    if (longLength > 0 && longLength < sizeof longer) {
        result = longer;
    }
    while (result.size() > 3 && (result.back() == '\\' || result.back() == '/')) {
        result.pop_back();
    }
    return result;
}

}  // namespace

std::string builtBesideThisTest(const std::string& fileName) {
    char path[32768];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        throw lastError("cannot tell where the test program lies");
    }
    return folderOf(std::string(path, length)) + "\\" + fileName;
}

ScratchFolder::ScratchFolder() {
    static unsigned counter = 0;
    char temporary[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof temporary, temporary);
    if (length == 0 || length > MAX_PATH) {
        throw lastError("cannot find the temporary folder");
    }
    path_ = longForm(temporary) + "\\vanto-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    makeFolder(path_);
}

ScratchFolder::~ScratchFolder() {
    // A stand-in that has just finished may still hold its program file for a moment.
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
        if (!error) {
            return;
        }
        std::this_thread::sleep_for(kPollInterval * 5);
    }
}

void makeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw std::runtime_error("cannot make folder " + folder + ": " + error.message());
    }
}

void copyFile(const std::string& from, const std::string& to) {
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
        throw lastError("cannot copy " + from + " to " + to);
    }
}

void writeFile(const std::string& file, const std::string& content) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + file);
    }
}

std::string readFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> filesMatching(const std::string& folder, const std::string& wildcard) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\" + wildcard).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool waitForFiles(const std::string& folder, const std::string& wildcard, std::size_t count,
                  std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (filesMatching(folder, wildcard).size() < count) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

std::string fileNameOf(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string folderOf(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

bool samePath(const std::string& left, const std::string& right) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, longForm(left).c_str(), -1,
                          longForm(right).c_str(), -1) == CSTR_EQUAL;
}

std::map<std::string, std::string> readRecord(const std::string& file) {
    std::map<std::string, std::string> record;
    std::istringstream lines(readFile(file));
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            record[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return record;
}

LaunchOutcome launch(const std::string& program, const std::string& workingDirectory,
                     const std::string& captureFolder, std::chrono::milliseconds limit) {
    makeFolder(captureFolder);
    const std::string outputFile = captureFolder + "\\stdout.txt";
    const std::string errorFile = captureFolder + "\\stderr.txt";
    LaunchOutcome outcome;
    {
        const Handle input(openInheritable("NUL", GENERIC_READ, OPEN_EXISTING));
        const Handle output(openInheritable(outputFile, GENERIC_WRITE, CREATE_ALWAYS));
        const Handle error(openInheritable(errorFile, GENERIC_WRITE, CREATE_ALWAYS));

        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = output.get();
        startup.hStdError = error.get();
        PROCESS_INFORMATION started{};
        std::string commandLine = "\"" + program + "\"";
        if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            workingDirectory.c_str(), &startup, &started)) {
            throw lastError("cannot start " + program);
        }
        const Handle process(started.hProcess);
        const Handle thread(started.hThread);
        const auto milliseconds = static_cast<DWORD>(limit.count());
        outcome.ended = WaitForSingleObject(process.get(), milliseconds) == WAIT_OBJECT_0;
        if (!outcome.ended) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), INFINITE);
        }
        DWORD exitCode = 0;
        if (outcome.ended && GetExitCodeProcess(process.get(), &exitCode)) {
            outcome.exitCode = exitCode;
        }
    }
    outcome.standardOutput = readFile(outputFile);
    outcome.standardError = readFile(errorFile);
    return outcome;
}

UrlFileClass::UrlFileClass(const std::map<std::string, std::string>& verbCommands,
                           const std::string& defaultVerb) {
    RegistryKey extension(HKEY_CLASSES_ROOT, kUrlExtension);
    previousClass_ = extension.defaultValue();
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kTestClass);
    RegistryKey shell(HKEY_CLASSES_ROOT, std::string(kTestClass) + "\\shell");
    if (!defaultVerb.empty()) {
        shell.setDefaultValue(defaultVerb);
    }
    for (const auto& [verb, command] : verbCommands) {
        RegistryKey(HKEY_CLASSES_ROOT, std::string(kTestClass) + "\\shell\\" + verb + "\\command")
            .setDefaultValue(command);
    }
    extension.setDefaultValue(kTestClass);
}

UrlFileClass::~UrlFileClass() {
    try {
        RegistryKey extension(HKEY_CLASSES_ROOT, kUrlExtension);
        if (previousClass_) {
            extension.setDefaultValue(*previousClass_);
        } else {
            extension.deleteDefaultValue();
        }
    } catch (const std::exception&) {
        // Nothing more to restore; the test class goes regardless.
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kTestClass);
}

}  // namespace launcher_windows_test
