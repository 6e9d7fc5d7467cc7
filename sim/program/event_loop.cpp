#include "program/event_loop.h"

#include <csignal>
#include <cstdio>
#include <iostream>

#include <poll.h>
#include <unistd.h>

#include "program/control_commands.h"
#include "program/line_reader.h"
#include "faces/link/link_answers.h"

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

void trace(const char* direction, const link::Message& message) {
    std::fprintf(stderr, "virtual-acr122u: %s %02X %s\n", direction, static_cast<unsigned>(message.type),
                 formatHex(message.payload).c_str());
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
// (so a test can put a card in while the chip waits for one), and the wait ends
// early when the field changed. The driver waits for its answer meanwhile.
class LoopClock final : public ReaderClock {
public:
    explicit LoopClock(CommandSources& sources) : sources_(sources) {}

    bool wait(std::chrono::microseconds duration) override {
        const auto deadline = std::chrono::steady_clock::now() + duration;
        while (stopSignal == 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            std::vector<pollfd> watched;
            sources_.watch(watched);
            if (::poll(watched.data(), watched.size(), static_cast<int>(left.count())) > 0 &&
                sources_.serve(watched)) {
                return true;
            }
        }
        return false;
    }

private:
    CommandSources& sources_;
};

}  // namespace

void runEventLoop(VirtualReader& device, PcscdLink& link, ControlSocket* control,
                    const LoopSettings& settings) {
    catchStopSignals();
    CommandSources sources(device, control, settings.readStdin);
    LoopClock clock(sources);
    device.clock().use(&clock);
    const auto answer = [&device, &settings](const link::Message& request) {
        if (settings.verbose) trace(">", request);
        link::Message reply = answerDriverRequest(request, device);
        if (isReaderCommand(request)) device.afterChange();
        if (settings.verbose) trace("<", reply);
        return reply;
    };
    while (!device.quitRequested && stopSignal == 0) {
        link.listen(!device.unplugged);
        link.publish(device.cardState());
        device.attached = link.connected();
        std::vector<pollfd> watched;
        link.watch(watched);
        sources.watch(watched);
        if (::poll(watched.data(), watched.size(), -1) <= 0) continue;
        link.serve(watched, answer);
        if (sources.serve(watched)) device.afterChange();
    }
    device.clock().use(nullptr);
    link.listen(false);
}

}  // namespace vreader
