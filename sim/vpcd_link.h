// The TCP connection to vpcd, the pcscd driver that listens on loopback for its
// virtual card. Messages both ways: 2-byte big-endian length, then the payload.
#ifndef VREADER_VPCD_LINK_H
#define VREADER_VPCD_LINK_H

#include <cstdint>
#include <optional>

#include "hex_bytes.h"

namespace vreader {

class VpcdLink {
public:
    explicit VpcdLink(std::uint16_t port) : port_(port) {}
    ~VpcdLink() { close(); }
    VpcdLink(const VpcdLink&) = delete;
    VpcdLink& operator=(const VpcdLink&) = delete;

    // One attempt to connect to 127.0.0.1:port; false while vpcd does not listen.
    bool try_connect();
    bool connected() const { return socket_ >= 0; }
    int descriptor() const { return socket_; }

    // Waits for one whole message; nothing when the connection has ended (it is
    // then closed).
    std::optional<Bytes> receive();
    // Length and payload in one write; false when the connection has ended.
    bool send(const Bytes& payload);
    void close();

private:
    bool receive_exactly(std::uint8_t* buffer, std::size_t size);

    std::uint16_t port_;
    int socket_ = -1;
};

}  // namespace vreader

#endif
