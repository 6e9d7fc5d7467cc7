#include "probe_options.h"

#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "hex_text.h"

namespace {

void printUsage(std::FILE* to) {
    std::fputs(
        "usage: qvr-probe [--send HEX] [--type 10|11|12] [--buzzer on|off] [--details]\n"
        "\n"
        "Shows what the reader stack sees: the PC/SC readers (the first one is the one\n"
        "the library uses), the reader's firmware, the tag in the field and its type.\n"
        "\n"
        "  --send HEX      send one command to the card, e.g. --send '00 A4 04 00 00'\n"
        "  --type N        exchange type for --send: 11 card data and card status word\n"
        "                  (default), 12 whole card answer, 10 raw APDU to the reader\n"
        "  --buzzer on|off switch the reader's beep on card detection on or off\n"
        "  --details       also run the Type B / FeliCa commands for the tag found\n"
        "\n"
        "PCSCLITE_CSOCK_NAME selects another pcscd socket (the virtual reader's).\n",
        to);
}

}  // namespace

std::optional<ProbeOptions> parseProbeOptions(int argc, char** argv, int& exitCode) {
    static const option longOptions[] = {{"send", required_argument, nullptr, 's'},
                                         {"type", required_argument, nullptr, 't'},
                                         {"buzzer", required_argument, nullptr, 'b'},
                                         {"details", no_argument, nullptr, 'd'},
                                         {"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};
    ProbeOptions options;
    exitCode = 2;
    int option = 0;
    while ((option = getopt_long(argc, argv, "s:t:b:dh", longOptions, nullptr)) != -1) {
        switch (option) {
            case 's':
                options.command = parseHex(optarg);
                if (!options.command) {
                    std::fprintf(stderr, "qvr-probe: --send wants hex bytes, got '%s'\n", optarg);
                    return std::nullopt;
                }
                break;
            case 't':
                if (std::string_view type{optarg}; type != "10" && type != "11" && type != "12") {
                    std::fprintf(stderr, "qvr-probe: --type is 10, 11 or 12\n");
                    return std::nullopt;
                }
                options.exchangeType = static_cast<std::int32_t>(std::strtol(optarg, nullptr, 10));
                break;
            case 'b':
                if (std::string_view setting{optarg}; setting != "on" && setting != "off") {
                    std::fprintf(stderr, "qvr-probe: --buzzer is on or off\n");
                    return std::nullopt;
                }
                options.buzzerOnDetection = std::string_view{optarg} == "on";
                break;
            case 'd':
                options.cardDetails = true;
                break;
            case 'h':
                printUsage(stdout);
                exitCode = 0;
                return std::nullopt;
            default:
                printUsage(stderr);
                return std::nullopt;
        }
    }
    if (optind != argc) {
        printUsage(stderr);
        return std::nullopt;
    }
    return options;
}
