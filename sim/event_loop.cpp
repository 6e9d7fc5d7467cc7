#include "event_loop.h"

#include <csignal>
#include <cstdio>
#include <iostream>

#include <poll.h>
#include <unistd.h>

#include "control_commands.h"
#include "line_reader.h"
#include "vpcd_protocol.h"

namespace vreader {

namespace {

// How often to retry vpcd while it does not listen yet.
constexpr int kReconnectMilliseconds = 20;

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

void keep_connection_as_wanted(VirtualReader& device, VpcdLink& link) {
    const bool wanted = device.wants_connection();
    if (link.connected() && !wanted) {
        link.close();
        device.reader().drop_pending();
    } else if (!link.connected() && wanted) {
        link.try_connect();
    }
    device.attached = link.connected();
}

void trace(const char* direction, const Bytes& bytes) {
    std::fprintf(stderr, "virtual-acr122u: %s %s\n", direction, to_hex(bytes).c_str());
}

void serve_vpcd(VirtualReader& device, VpcdLink& link, bool verbose) {
    const auto message = link.receive();
    if (!message) {
        if (verbose) std::fprintf(stderr, "virtual-acr122u: vpcd closed the connection\n");
        device.reader().drop_pending();
        return;
    }
    if (verbose) trace(">", *message);
    const auto answer = answer_vpcd_message(*message, device);
    if (!answer) return;
    if (verbose) trace("<", *answer);
    link.send(*answer);
}

// False once stdin has ended.
bool serve_stdin(VirtualReader& device, LineReader& lines) {
    const bool open = lines.fill_from(STDIN_FILENO);
    while (auto line = lines.next_line()) {
        std::cout << run_control_command(*line, device) << std::endl;
    }
    return open;
}

}  // namespace

void run_event_loop(VirtualReader& device, VpcdLink& link, ControlSocket* control,
                    const LoopSettings& settings) {
    catch_stop_signals();
    bool stdin_open = settings.read_stdin;
    LineReader stdin_lines;
    const auto run_command = [&device](std::string_view line) {
        return run_control_command(line, device);
    };
    while (!device.quit_requested && stop_signal == 0) {
        keep_connection_as_wanted(device, link);
        std::vector<pollfd> watched;
        if (link.connected()) watched.push_back({link.descriptor(), POLLIN, 0});
        if (stdin_open) watched.push_back({STDIN_FILENO, POLLIN, 0});
        if (control) control->watch(watched);
        const bool waiting_for_vpcd = !link.connected() && device.wants_connection();
        const int timeout = waiting_for_vpcd ? kReconnectMilliseconds : -1;
        if (::poll(watched.data(), watched.size(), timeout) <= 0) continue;

        for (const pollfd& p : watched) {
            if (p.revents == 0) continue;
            if (p.fd == link.descriptor() && link.connected()) serve_vpcd(device, link, settings.verbose);
            if (p.fd == STDIN_FILENO && stdin_open) stdin_open = serve_stdin(device, stdin_lines);
        }
        if (control) control->serve(watched, run_command);
    }
    link.close();
}

}  // namespace vreader
