// Writes what programFolder() finds for this very program to standard output,
// so a test can copy the probe anywhere (deep folders included) and compare.
#include "program_folder.h"

#include <cstdio>

int main() {
    const auto folder = vanto::programFolder();
    if (!folder) {
        return 1;
    }
    std::fputs(folder->c_str(), stdout);
    return 0;
}
