// Command line of qvr-probe.
#ifndef QVR_PROBE_OPTIONS_H
#define QVR_PROBE_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvr::tools {

struct ProbeOptions {
    std::optional<std::vector<std::uint8_t>> command;  // --send
    std::int32_t exchangeType = 11;                     // --type
    std::optional<bool> buzzerOnDetection;              // --buzzer on|off
    bool cardDetails = false;                           // --details
    std::optional<std::string> readerText;              // --reader: part of the reader's name
    bool trace = false;                                 // --trace: the library's wire trace on stderr
    std::optional<unsigned> waitSeconds;                // --wait: for a reader, then a card
};

// The longest --wait accepted: a day.
inline constexpr unsigned kMaxWaitSeconds = 86400;

// Parses argv; on a bad command line, --help or --version prints what fits and
// returns nothing, with exitCode set (0 for --help and --version, 2 for a mistake).
// May be called more than once (it restarts getopt).
std::optional<ProbeOptions> parseProbeOptions(int argc, char** argv, int& exitCode);

}  // namespace qvr::tools

#endif
