// virtual-acr122u: a virtual ACR122U contactless reader with virtual cards, served
// to pcscd through the project's own driver (sim/driver), which connects to --socket.
#include <cstdio>
#include <exception>
#include <memory>

#include "program/control_socket.h"
#include "program/event_loop.h"
#include "program/options.h"
#include "faces/link/pcscd_link.h"
#include "program/scenario.h"
#include "program/virtual_reader.h"

int main(int argc, char** argv) {
    using namespace vreader;
    std::string error;
    const auto options = parseOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
    if (!options) {
        std::fprintf(stderr, "virtual-acr122u: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    try {
        Scenario scenario = loadScenarioFile(options->scenarioPath);
        const Presence presence =
            options->presence.value_or(scenario.presence.value_or(Presence::WhileTagInField));
        VirtualReader device(std::move(scenario), presence);
        std::unique_ptr<ControlSocket> control;
        if (!options->controlPath.empty()) control = std::make_unique<ControlSocket>(options->controlPath);
        PcscdLink link(options->socketPath);
        runEventLoop(device, link, control.get(), {options->readStdin, options->verbose});
        const HandlerStats& stats = device.stats();
        if (options->verbose) {
            std::fprintf(stderr, "virtual-acr122u: %llu commands, %.2f us each on average\n",
                         static_cast<unsigned long long>(stats.commands), stats.meanMicroseconds());
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "virtual-acr122u: %s\n", e.what());
        return 1;
    }
}
