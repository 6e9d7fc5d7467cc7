// The local unix socket on which tests and demos send control commands while the
// reader runs. Each client writes lines and reads one answer line per command.
#ifndef VREADER_CONTROL_SOCKET_H
#define VREADER_CONTROL_SOCKET_H

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <poll.h>

#include "program/line_reader.h"

namespace vreader {

class ControlSocket {
public:
    using CommandRunner = std::function<std::string(std::string_view line)>;

    // Listens on path (an old socket file there is replaced); throws
    // std::system_error when that fails.
    explicit ControlSocket(std::string path);
    ~ControlSocket();
    ControlSocket(const ControlSocket&) = delete;
    ControlSocket& operator=(const ControlSocket&) = delete;

    // The descriptors to watch for input.
    void watch(std::vector<pollfd>& watched) const;
    // Accepts new clients and runs the commands that have arrived.
    void serve(const std::vector<pollfd>& watched, const CommandRunner& run);

private:
    struct Client {
        int descriptor;
        LineReader lines;
    };

    static bool readable(const std::vector<pollfd>& watched, int descriptor);
    void acceptClient();
    bool serveClient(Client& client, const CommandRunner& run);

    std::string path_;
    int listener_ = -1;
    std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace vreader

#endif
