#include "probe_options.h"

#include <getopt.h>

#include <charconv>
#include <cstdio>
#include <string_view>

#include "exit_codes.h"
#include "vocabulary/hex_text.h"

namespace qvr::tools {

namespace {

void printUsage(std::FILE* to) {
    std::fputs(
        "usage: qvr-probe [--reader TEXT] [--wait SECONDS] [--trace] [--send HEX]\n"
        "                 [--type 10|11|12] [--buzzer on|off] [--details]\n"
        "       qvr-probe --help | --version\n"
        "\n"
        "Shows what the reader stack sees: the PC/SC readers and the one the library\n"
        "uses, the connection it made (shared, T=1 or T=0, with a card present, or\n"
        "direct to the reader with an empty field), the reader's firmware, and the card\n"
        "in the field decoded. Errors go to standard error with the PC/SC reason and a\n"
        "hint.\n"
        "\n"
        "  --reader TEXT   use the first reader whose name contains TEXT (sets\n"
        "                  QVR_ACR122_READER for the library)\n"
        "  --wait SECONDS  wait up to SECONDS for the reader, then for a card on it\n"
        "  --trace         the library writes every PC/SC call to standard error\n"
        "                  (sets QVR_ACR122_TRACE=stderr)\n"
        "  --send HEX      send one command to the card, e.g. --send '00 A4 04 00 00'\n"
        "  --type N        exchange type for --send: 11 card data and card status word\n"
        "                  (default), 12 whole card answer, 10 raw APDU to the reader\n"
        "  --buzzer on|off switch the reader's beep on card detection on or off\n"
        "  --details       also run the Type B / FeliCa commands for the tag found\n"
        "  --help          this text;  --version  the version\n"
        "\n"
        "Exit status:\n"
        "  0  every step ran (the field may have been empty)\n"
        "  2  bad command line\n"
        "  3  no reader, or none whose name contains --reader's text\n"
        "  4  the library could not connect to the reader\n"
        "  5  connected, but the reader did not take commands\n"
        "  6  pcscd is not running, or it refused this user\n"
        "  7  --wait: no reader, or no card, arrived in time\n"
        "\n"
        "PCSCLITE_CSOCK_NAME selects another pcscd socket (the virtual reader's).\n"
        "See qvr-probe(1).\n",
        to);
}

bool badValue(const char* what) {
    std::fprintf(stderr, "qvr-probe: %s\n", what);
    return false;
}

std::optional<unsigned> parseSeconds(std::string_view text) {
    unsigned seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc{} || end != text.data() + text.size() || seconds > kMaxWaitSeconds) return std::nullopt;
    return seconds;
}

// One option with its value into options; false (after saying why) for a bad value.
bool takeOption(int option, const char* value, ProbeOptions& options) {
    const std::string_view text = value != nullptr ? value : "";
    switch (option) {
        case 's':
            options.command = parseHex(text, HexSpacing::kAnywhere);
            return options.command ? true : badValue("--send wants hex bytes, e.g. '00 A4 04 00 00'");
        case 't':
            if (text != "10" && text != "11" && text != "12") return badValue("--type is 10, 11 or 12");
            options.exchangeType = text == "10" ? 10 : text == "11" ? 11 : 12;
            return true;
        case 'b':
            if (text != "on" && text != "off") return badValue("--buzzer is on or off");
            options.buzzerOnDetection = text == "on";
            return true;
        case 'd':
            options.cardDetails = true;
            return true;
        case 'r':
            if (text.empty()) return badValue("--reader wants part of the reader's name");
            options.readerText = std::string(text);
            return true;
        case 'x':
            options.trace = true;
            return true;
        case 'w':
            options.waitSeconds = parseSeconds(text);
            return options.waitSeconds ? true : badValue("--wait wants whole seconds, 0 to 86400");
        default:
            return false;
    }
}

}  // namespace

std::optional<ProbeOptions> parseProbeOptions(int argc, char** argv, int& exitCode) {
    static const option longOptions[] = {{"send", required_argument, nullptr, 's'},
                                         {"type", required_argument, nullptr, 't'},
                                         {"buzzer", required_argument, nullptr, 'b'},
                                         {"details", no_argument, nullptr, 'd'},
                                         {"reader", required_argument, nullptr, 'r'},
                                         {"trace", no_argument, nullptr, 'x'},
                                         {"wait", required_argument, nullptr, 'w'},
                                         {"help", no_argument, nullptr, 'h'},
                                         {"version", no_argument, nullptr, 'V'},
                                         {nullptr, 0, nullptr, 0}};
    ProbeOptions options;
    exitCode = kBadCommandLine;
    optind = 0;  // glibc: start afresh, as for a new command line
    int option = 0;
    while ((option = getopt_long(argc, argv, "s:t:b:dh", longOptions, nullptr)) != -1) {
        if (option == 'h' || option == 'V') {
            if (option == 'h') printUsage(stdout);
            else std::printf("qvr-probe %s\n", QVR_PROBE_VERSION);
            exitCode = kProbeDone;
            return std::nullopt;
        }
        if (option == '?' || option == ':') {
            printUsage(stderr);
            return std::nullopt;
        }
        if (!takeOption(option, optarg, options)) return std::nullopt;
    }
    if (optind != argc) {
        printUsage(stderr);
        return std::nullopt;
    }
    return options;
}

}  // namespace qvr::tools
