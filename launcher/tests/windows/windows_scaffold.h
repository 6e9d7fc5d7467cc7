// Scaffolding for the launcher's tests on Windows (run under Wine): scratch
// folders, the programs built beside this test, starting a program from a
// given folder with its output captured, and a stand-in handler for .URL files.
#ifndef VANTO_TESTS_WINDOWS_WINDOWS_SCAFFOLD_H
#define VANTO_TESTS_WINDOWS_WINDOWS_SCAFFOLD_H

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace launcher_windows_test {

// The launcher and the stand-ins are built into the folder of the test program.
std::string builtBesideThisTest(const std::string& fileName);

// A private folder under the temporary directory, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void makeFolder(const std::string& folder);  // with its parents
void copyFile(const std::string& from, const std::string& to);
void writeFile(const std::string& file, const std::string& content);
std::string readFile(const std::string& file);
// Names (not paths) of the files in folder that match a wildcard such as "opened-*.txt".
std::vector<std::string> filesMatching(const std::string& folder, const std::string& wildcard);
// Polls until count files match; false when the limit passes first.
bool waitForFiles(const std::string& folder, const std::string& wildcard, std::size_t count,
                  std::chrono::milliseconds limit);

// Final part and folder part of a path, split at the last '\' or '/'.
std::string fileNameOf(const std::string& path);
std::string folderOf(const std::string& path);
// Whether two spellings name the same path: Windows compares paths without
// regard to case, and a folder may be spelt with short (8.3) names.
bool samePath(const std::string& left, const std::string& right);

// "key=value" lines.
std::map<std::string, std::string> readRecord(const std::string& file);

struct LaunchOutcome {
    bool ended = false;  // within the limit; otherwise the program was ended by force
    unsigned long exitCode = ~0UL;
    std::string standardOutput;
    std::string standardError;
};

// Starts program (its quoted path the whole command line) with workingDirectory
// as current directory, standard input from NUL and standard output and error
// captured in files under captureFolder, and waits at most limit for it to end.
LaunchOutcome launch(const std::string& program, const std::string& workingDirectory,
                     const std::string& captureFolder, std::chrono::milliseconds limit);

// While it lives, .URL files belong to a class of the test's own with the given
// verbs (name and command line) and default verb; what was registered before is
// restored afterwards. Wine 8 looks file classes up in HKEY_CLASSES_ROOT only
// (it does not merge in HKCU\Software\Classes), so that is where it goes.
class UrlFileClass {
public:
    UrlFileClass(const std::map<std::string, std::string>& verbCommands, const std::string& defaultVerb);
    ~UrlFileClass();
    UrlFileClass(const UrlFileClass&) = delete;
    UrlFileClass& operator=(const UrlFileClass&) = delete;

private:
    std::optional<std::string> previousClass_;
};

}  // namespace launcher_windows_test

#endif
