// The client side of the control socket, for the command-line helper and tests.
#ifndef VREADER_CONTROL_CLIENT_H
#define VREADER_CONTROL_CLIENT_H

#include <chrono>
#include <optional>
#include <string>

namespace vreader {

// Sends one command line and returns the answer line ("ok ..." / "error ..."), or
// nothing when no reader answered within the wait (the socket may not exist yet
// while the reader starts, so connecting is retried until then).
std::optional<std::string> sendControlCommand(const std::string& socketPath,
                                                const std::string& command,
                                                std::chrono::milliseconds wait);

}  // namespace vreader

#endif
