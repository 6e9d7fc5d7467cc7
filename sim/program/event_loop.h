// The program's one thread: waits on the USB face's messages, the control socket
// and stdin, answers what arrives, and tells the driver at once when the slot's
// card changes.
#ifndef VREADER_EVENT_LOOP_H
#define VREADER_EVENT_LOOP_H

#include "faces/usb/usb_face.h"
#include "program/control_socket.h"
#include "program/virtual_reader.h"

namespace vreader {

struct LoopSettings {
    bool readStdin = true;
    bool verbose = false;
};

// Runs until "quit" or SIGINT/SIGTERM. control may be null. While it runs, the
// device's reader clock serves control commands as reader time passes.
void runEventLoop(VirtualReader& device, usb::UsbFace& face, ControlSocket* control, const LoopSettings& settings);

}  // namespace vreader

#endif
