#include "program/options.h"

namespace vreader {

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string* error) {
    Options options;
    const auto fail = [error](const std::string& message) {
        *error = message;
        return std::nullopt;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool has_value = i + 1 < arguments.size();
        if (argument == "--no-stdin") {
            options.readStdin = false;
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else if (!has_value) {
            return fail("unknown option or missing value: " + argument);
        } else if (argument == "--scenario") {
            options.scenarioPath = arguments[++i];
        } else if (argument == "--control") {
            options.controlPath = arguments[++i];
        } else if (argument == "--presence") {
            options.presence = presenceFromName(arguments[++i]);
            if (!options.presence) return fail("--presence takes always or tag");
        } else if (argument == "--testbed-file") {
            options.testbedFile = arguments[++i];
        } else if (argument == "--driver-dir") {
            options.driverDir = arguments[++i];
        } else {
            return fail("unknown option: " + argument);
        }
    }
    if (options.scenarioPath.empty()) return fail("--scenario FILE is required");
    if (options.testbedFile.empty()) return fail("--testbed-file FILE is required");
    return options;
}

}  // namespace vreader
