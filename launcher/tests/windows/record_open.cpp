// Stand-in for the program the shell starts to open a .URL file, registered as
//   "<folder>\record_open.exe" VERB "%1"
// It notes what it was given and how it was started in "opened-<process id>.txt"
// beside its program file, one line per item:
//   verb=VERB  file=%1 as received  arguments=count  directory=current directory
//   show=the show command it was started with, or "unset"
// The record gets its name only once complete, so whoever sees it may read it.
// With "hold-ms.txt" beside it (a number of milliseconds), it then stays that
// long and marks "finished-<process id>.txt".
#include <windows.h>

#include <fstream>
#include <string>

namespace {

std::string ownFolder() {
    std::string path(32768, '\0');
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of('\\'));
}

std::string currentDirectory() {
    std::string directory(32768, '\0');
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(directory.size()), directory.data());
    directory.resize(length);
    return directory;
}

std::string showCommand() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? std::to_string(startup.wShowWindow)
                                                          : "unset";
}

bool writeThenName(const std::string& file, const std::string& content) {
    const std::string partial = file + ".partial";
    {
        std::ofstream out(partial, std::ios::binary);
        out << content;
    }
    return MoveFileA(partial.c_str(), file.c_str()) != FALSE;
}

DWORD holdMilliseconds(const std::string& folder) {
    std::ifstream in(folder + "\\hold-ms.txt");
    DWORD milliseconds = 0;
    in >> milliseconds;
    return milliseconds;
}

}  // namespace

int main(int argumentCount, char** arguments) {
    const std::string folder = ownFolder();
    const std::string suffix = std::to_string(GetCurrentProcessId()) + ".txt";
    const std::string record = "verb=" + std::string(argumentCount > 1 ? arguments[1] : "") +
                               "\nfile=" + (argumentCount > 2 ? arguments[2] : "") +
                               "\narguments=" + std::to_string(argumentCount - 1) +
                               "\ndirectory=" + currentDirectory() + "\nshow=" + showCommand() + "\n";
    if (!writeThenName(folder + "\\opened-" + suffix, record)) {
        return 1;
    }
    if (const DWORD hold = holdMilliseconds(folder); hold > 0) {
        Sleep(hold);
        return writeThenName(folder + "\\finished-" + suffix, "") ? 0 : 1;
    }
    return 0;
}
