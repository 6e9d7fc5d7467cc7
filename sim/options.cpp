#include "options.h"

#include <charconv>

namespace vreader {

namespace {

std::optional<std::uint16_t> port_from(const std::string& text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value == 0 || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<Options> parse_options(const std::vector<std::string>& arguments, std::string* error) {
    Options options;
    const auto fail = [error](const std::string& message) {
        *error = message;
        return std::nullopt;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool has_value = i + 1 < arguments.size();
        if (argument == "--no-stdin") {
            options.read_stdin = false;
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else if (!has_value) {
            return fail("unknown option or missing value: " + argument);
        } else if (argument == "--scenario") {
            options.scenario_path = arguments[++i];
        } else if (argument == "--control") {
            options.control_path = arguments[++i];
        } else if (argument == "--presence") {
            options.presence = presence_from_name(arguments[++i]);
            if (!options.presence) return fail("--presence takes always or tag");
        } else if (argument == "--port") {
            const auto port = port_from(arguments[++i]);
            if (!port) return fail("--port takes a TCP port number");
            options.port = *port;
        } else {
            return fail("unknown option: " + argument);
        }
    }
    if (options.scenario_path.empty()) return fail("--scenario FILE is required");
    return options;
}

}  // namespace vreader
