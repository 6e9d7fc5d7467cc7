// The program's one thread: waits on vpcd, the control socket and stdin, answers
// what arrives, and keeps the vpcd connection as the device wants it.
#ifndef VREADER_EVENT_LOOP_H
#define VREADER_EVENT_LOOP_H

#include "control_socket.h"
#include "virtual_reader.h"
#include "vpcd_link.h"

namespace vreader {

struct LoopSettings {
    bool read_stdin = true;
    bool verbose = false;
};

// Runs until "quit" or SIGINT/SIGTERM. control may be null.
void run_event_loop(VirtualReader& device, VpcdLink& link, ControlSocket* control,
                    const LoopSettings& settings);

}  // namespace vreader

#endif
