// virtual-reader-ctl SOCKET COMMAND...: sends one control command to a running
// virtual reader and prints its answer. Exit status 0 for "ok", 1 otherwise.
#include <cstdio>
#include <string>

#include "program/control_client.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: virtual-reader-ctl SOCKET COMMAND...\n");
        return 2;
    }
    std::string command;
    for (int i = 2; i < argc; ++i) command += (i > 2 ? " " : "") + std::string(argv[i]);
    const auto answer = vreader::sendControlCommand(argv[1], command, std::chrono::seconds(5));
    if (!answer) {
        std::fprintf(stderr, "virtual-reader-ctl: no virtual reader answers on %s\n", argv[1]);
        return 1;
    }
    std::printf("%s\n", answer->c_str());
    return answer->rfind("ok", 0) == 0 ? 0 : 1;
}
