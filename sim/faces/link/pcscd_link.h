// The virtual reader's side of the link to the project's pcscd driver: a Unix socket
// (the DEVICENAME of the reader configuration) on which the driver connects once for
// commands and once for card events. Unplugging the reader closes the socket and
// every connection, as a USB reader that disappears.
#ifndef VREADER_PCSCD_LINK_H
#define VREADER_PCSCD_LINK_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <poll.h>

#include "link_protocol.h"

namespace vreader {

class PcscdLink {
public:
    using Answerer = std::function<link::Message(const link::Message& request)>;

    explicit PcscdLink(std::string socketPath) : path_(std::move(socketPath)) {}
    ~PcscdLink() { closeAll(); }
    PcscdLink(const PcscdLink&) = delete;
    PcscdLink& operator=(const PcscdLink&) = delete;

    // Opens the socket (an old socket file there is replaced; throws
    // std::system_error when that fails) or closes it with every connection.
    void listen(bool on);
    bool listening() const { return listener_ >= 0; }
    bool connected() const { return !drivers_.empty(); }

    void watch(std::vector<pollfd>& watched) const;
    // Accepts drivers and answers the requests that have arrived.
    void serve(const std::vector<pollfd>& watched, const Answerer& answer);
    // Sends the card state to each event connection that has not yet seen this card
    // arrive or leave.
    void publish(const link::CardState& state);

private:
    struct Driver {
        int descriptor;
        std::optional<link::Role> role;
        std::optional<link::CardState> sent;
    };

    void closeAll() noexcept;
    void acceptDriver();
    // False when the driver has gone or broke the protocol.
    bool serveDriver(Driver& driver, const Answerer& answer);

    const std::string path_;
    int listener_ = -1;
    std::vector<Driver> drivers_;
};

}  // namespace vreader

#endif
