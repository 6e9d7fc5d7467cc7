// Command line of qvr-probe.
#ifndef QVR_PROBE_OPTIONS_H
#define QVR_PROBE_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ProbeOptions {
    std::optional<std::vector<std::uint8_t>> command;  // --send
    std::int32_t exchangeType = 11;                     // --type
    std::optional<bool> buzzerOnDetection;              // --buzzer on|off
    bool cardDetails = false;                           // --details
};

// Parses argv; on a bad or --help command line prints usage and returns nothing,
// with exitCode set (0 for --help, 2 for a mistake).
std::optional<ProbeOptions> parseProbeOptions(int argc, char** argv, int& exitCode);

#endif
