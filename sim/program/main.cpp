// virtual-acr122u: a virtual ACR122U contactless reader with virtual cards, a USB
// device in a umockdev testbed that pcscd, under umockdev's preload library, serves
// with the system's own CCID driver.
#include <cstdio>
#include <exception>
#include <fstream>
#include <memory>

#include "faces/usb/usb_face.h"
#include "faces/usb/usbfs_device.h"
#include "program/control_socket.h"
#include "program/driver_folder.h"
#include "program/event_loop.h"
#include "program/options.h"
#include "program/scenario.h"
#include "program/virtual_reader.h"

namespace {

// Written whole under a temporary name, so that a reader of the file never sees half.
void writeTestbedFile(const std::string& path, const std::string& root) {
    const std::string temporary = path + ".new";
    std::ofstream out(temporary, std::ios::trunc);
    out << root << '\n';
    if (!out.flush() || std::rename(temporary.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace

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
        if (!options->driverDir.empty()) makeDriverFolder(options->driverDir, scenario.driverEscape);
        VirtualReader device(std::move(scenario), presence);
        std::unique_ptr<ControlSocket> control;
        if (!options->controlPath.empty()) control = std::make_unique<ControlSocket>(options->controlPath);
        usb::UsbfsDevice usbDevice;
        usb::UsbFace face(usbDevice, device.slot(), device.stats());
        writeTestbedFile(options->testbedFile, usbDevice.testbedRoot());
        runEventLoop(device, face, control.get(), {options->readStdin, options->verbose});
        if (options->verbose) {
            const HandlerStats& stats = device.stats();
            const usb::UsbfsCounters counters = usbDevice.counters();
            std::fprintf(stderr, "virtual-acr122u: %llu commands, %.2f us each on average; %llu ioctls, %llu empty reaps\n",
                         static_cast<unsigned long long>(stats.commands), stats.meanMicroseconds(),
                         static_cast<unsigned long long>(counters.ioctls),
                         static_cast<unsigned long long>(counters.emptyReaps));
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "virtual-acr122u: %s\n", e.what());
        return 1;
    }
}
