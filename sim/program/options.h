// The command line of virtual-acr122u.
#ifndef VREADER_OPTIONS_H
#define VREADER_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

#include "program/scenario.h"

namespace vreader {

struct Options {
    std::string scenarioPath;                  // --scenario FILE (required)
    std::optional<Presence> presence;           // --presence always|tag (beats the scenario)
    std::string testbedFile;                   // --testbed-file FILE: gets the umockdev testbed folder (required)
    std::string driverDir;                     // --driver-dir DIR: the CCID driver folder made for pcscd
    std::string controlPath;                   // --control PATH: unix control socket
    bool readStdin = true;                     // --no-stdin
    bool verbose = false;                       // --verbose: trace every APDU to stderr
};

inline constexpr const char* kUsage =
    "usage: virtual-acr122u --scenario FILE --testbed-file FILE [--driver-dir DIR]\n"
    "                       [--presence always|tag] [--control PATH] [--no-stdin] [--verbose]\n";

// Nothing, with a message in *error, when the command line is wrong.
std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string* error);

}  // namespace vreader

#endif
