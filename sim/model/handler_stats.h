// What the virtual reader itself spends per command: from the message read off the
// socket to the answer ready to write, slow-answer faults included.
#ifndef VREADER_HANDLER_STATS_H
#define VREADER_HANDLER_STATS_H

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace vreader {

struct HandlerStats {
    std::uint64_t commands = 0;
    // How often the driver asked whether a card is present: pcscd asks after each
    // card event, so a count that keeps rising on an idle reader means it polls.
    std::uint64_t cardStateQueries = 0;
    // How often a command still at work told the driver to keep waiting.
    std::uint64_t timeExtensions = 0;
    // usbfs ioctls the host's libusb sent (submit, reap, discard, ...) in all, and
    // their number when the figures were last reset.
    std::uint64_t ioctlsTotal = 0;
    std::uint64_t ioctlsBase = 0;
    std::chrono::nanoseconds total{0};
    std::chrono::nanoseconds longest{0};

    void record(std::chrono::nanoseconds spent) {
        ++commands;
        total += spent;
        longest = std::max(longest, spent);
    }
    std::uint64_t ioctls() const { return ioctlsTotal - ioctlsBase; }
    // Starts the figures again; the ioctl count goes on from where it is.
    void reset() {
        const std::uint64_t seen = ioctlsTotal;
        *this = HandlerStats{};
        ioctlsTotal = ioctlsBase = seen;
    }
    double meanMicroseconds() const {
        if (commands == 0) return 0.0;
        return static_cast<double>(total.count()) / static_cast<double>(commands) / 1000.0;
    }
};

}  // namespace vreader

#endif
