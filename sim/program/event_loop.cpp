#include "program/event_loop.h"

#include <csignal>
#include <algorithm>
#include <cstdio>
#include <iostream>

#include <poll.h>
#include <unistd.h>

#include "program/control_commands.h"
#include "program/line_reader.h"

namespace vreader {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void noteStop(int) { stopSignal = 1; }

// Without SA_RESTART, so that a signal wakes poll().
void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// Control commands from stdin and the control socket, served both by the main loop
// and while the chip lets reader time pass.
class CommandSources {
public:
    CommandSources(VirtualReader& device, ControlSocket* control, bool readStdin)
        : device_(device), control_(control), stdinOpen_(readStdin) {}

    void watch(std::vector<pollfd>& watched) const {
        if (stdinOpen_) watched.push_back({STDIN_FILENO, POLLIN, 0});
        if (control_) control_->watch(watched);
    }

    // Runs what has arrived; true when the field changed.
    bool serve(const std::vector<pollfd>& watched) {
        const std::vector<Card*> before = device_.field().cards();
        const bool unpluggedBefore = device_.unplugged;
        for (const pollfd& p : watched) {
            if (p.fd == STDIN_FILENO && p.revents != 0 && stdinOpen_) serveStdin();
        }
        if (control_) control_->serve(watched, [this](std::string_view line) { return run(line); });
        return device_.field().cards() != before || device_.unplugged != unpluggedBefore;
    }

private:
    std::string run(std::string_view line) { return runControlCommand(line, device_); }

    void serveStdin() {
        stdinOpen_ = stdinLines_.fillFrom(STDIN_FILENO);
        while (auto line = stdinLines_.nextLine()) std::cout << run(*line) << std::endl;
    }

    VirtualReader& device_;
    ControlSocket* control_;
    bool stdinOpen_;
    LineReader stdinLines_;
};

// Reader time as the event loop lets it pass: control commands keep being served
// (so a test can put a card in while the chip waits for one, or unplug the reader),
// the USB face keeps the driver waiting with time extensions, and the wait ends
// early when the field changed.
class LoopClock final : public ReaderClock {
public:
    LoopClock(CommandSources& sources, VirtualReader& device, usb::UsbFace& face)
        : sources_(sources), device_(device), face_(face) {}

    bool wait(std::chrono::microseconds duration) override {
        const auto deadline = std::chrono::steady_clock::now() + duration;
        while (!stopping()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            std::vector<pollfd> watched;
            sources_.watch(watched);
            auto slice = std::min(left, std::chrono::ceil<std::chrono::milliseconds>(usb::kTimeExtensionPeriod));
            if (const auto due = face_.nextSyncDue()) slice = std::min(slice, *due);
            const bool changed =
                ::poll(watched.data(), watched.size(), static_cast<int>(slice.count())) > 0 && sources_.serve(watched);
            face_.sync(!device_.unplugged);
            device_.attached = !device_.unplugged;
            face_.keepAlive();
            if (changed) return true;
        }
        return false;
    }

    bool stopping() const override { return stopSignal != 0 || device_.quitRequested; }

private:
    CommandSources& sources_;
    VirtualReader& device_;
    usb::UsbFace& face_;
};

}  // namespace

void runEventLoop(VirtualReader& device, usb::UsbFace& face, ControlSocket* control, const LoopSettings& settings) {
    catchStopSignals();
    CommandSources sources(device, control, settings.readStdin);
    LoopClock clock(sources, device, face);
    device.clock().use(&clock);
    face.setVerbose(settings.verbose);
    while (!clock.stopping()) {
        face.sync(!device.unplugged);
        device.attached = !device.unplugged;
        std::vector<pollfd> watched{{face.wakeDescriptor(), POLLIN, 0}};
        sources.watch(watched);
        const auto due = face.nextSyncDue();
        if (::poll(watched.data(), watched.size(), due ? static_cast<int>(due->count()) : -1) <= 0) continue;
        if (watched[0].revents != 0) face.serve();
        face.noteCounters();
        if (sources.serve(watched)) device.afterChange();
    }
    device.clock().use(nullptr);
}

}  // namespace vreader
