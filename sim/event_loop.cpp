#include "event_loop.h"

#include <csignal>
#include <cstdio>
#include <iostream>

#include <poll.h>
#include <unistd.h>

#include "control_commands.h"
#include "line_reader.h"
#include "link_answers.h"

namespace vreader {

namespace {

volatile std::sig_atomic_t stop_signal = 0;

void note_stop(int) { stop_signal = 1; }

// Without SA_RESTART, so that a signal wakes poll().
void catch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = note_stop;
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
    CommandSources(VirtualReader& device, ControlSocket* control, bool read_stdin)
        : device_(device), control_(control), stdin_open_(read_stdin) {}

    void watch(std::vector<pollfd>& watched) const {
        if (stdin_open_) watched.push_back({STDIN_FILENO, POLLIN, 0});
        if (control_) control_->watch(watched);
    }

    // Runs what has arrived; true when the field changed.
    bool serve(const std::vector<pollfd>& watched) {
        const std::vector<Card*> before = device_.field().cards();
        const bool unplugged_before = device_.unplugged;
        for (const pollfd& p : watched) {
            if (p.fd == STDIN_FILENO && p.revents != 0 && stdin_open_) serve_stdin();
        }
        if (control_) control_->serve(watched, [this](std::string_view line) { return run(line); });
        return device_.field().cards() != before || device_.unplugged != unplugged_before;
    }

private:
    std::string run(std::string_view line) { return run_control_command(line, device_); }

    void serve_stdin() {
        stdin_open_ = stdin_lines_.fill_from(STDIN_FILENO);
        while (auto line = stdin_lines_.next_line()) std::cout << run(*line) << std::endl;
    }

    VirtualReader& device_;
    ControlSocket* control_;
    bool stdin_open_;
    LineReader stdin_lines_;
};

// Reader time as the event loop lets it pass: control commands keep being served
// (so a test can put a card in while the chip waits for one), and the wait ends
// early when the field changed. The driver waits for its answer meanwhile.
class LoopClock final : public ReaderClock {
public:
    explicit LoopClock(CommandSources& sources) : sources_(sources) {}

    bool wait(std::chrono::microseconds duration) override {
        const auto deadline = std::chrono::steady_clock::now() + duration;
        while (stop_signal == 0) {
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

void run_event_loop(VirtualReader& device, PcscdLink& link, ControlSocket* control,
                    const LoopSettings& settings) {
    catch_stop_signals();
    CommandSources sources(device, control, settings.read_stdin);
    LoopClock clock(sources);
    device.clock().use(&clock);
    const auto answer = [&device, &settings](const link::Message& request) {
        if (settings.verbose) trace(">", request);
        link::Message reply = answer_driver_request(request, device);
        if (is_reader_command(request)) device.after_change();
        if (settings.verbose) trace("<", reply);
        return reply;
    };
    while (!device.quit_requested && stop_signal == 0) {
        link.listen(!device.unplugged);
        link.publish(device.card_state());
        device.attached = link.connected();
        std::vector<pollfd> watched;
        link.watch(watched);
        sources.watch(watched);
        if (::poll(watched.data(), watched.size(), -1) <= 0) continue;
        link.serve(watched, answer);
        if (sources.serve(watched)) device.after_change();
    }
    device.clock().use(nullptr);
    link.listen(false);
}

}  // namespace vreader
