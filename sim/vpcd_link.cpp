#include "vpcd_link.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vreader {

namespace {

constexpr std::size_t kLengthSize = 2;
constexpr std::size_t kMaxPayload = 0xFFFF;

void set_option(int socket, int option) {
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, option, &on, sizeof on);
}

}  // namespace

bool VpcdLink::try_connect() {
    if (connected()) return true;
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(s);
        return false;
    }
    // vpcd writes small messages without TCP_NODELAY; answering without delay on
    // our side keeps Nagle's algorithm and delayed ACKs from meeting.
    set_option(s, TCP_NODELAY);
    socket_ = s;
    return true;
}

void VpcdLink::close() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
}

bool VpcdLink::receive_exactly(std::uint8_t* buffer, std::size_t size) {
    std::size_t received = 0;
    while (received < size) {
        // Quick ACK resets itself after each use, so it is asked for before every read.
        set_option(socket_, TCP_QUICKACK);
        const ssize_t n = ::recv(socket_, buffer + received, size - received, MSG_WAITALL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        received += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<Bytes> VpcdLink::receive() {
    std::uint8_t length[kLengthSize];
    if (!connected() || !receive_exactly(length, kLengthSize)) {
        close();
        return std::nullopt;
    }
    Bytes payload(static_cast<std::size_t>(length[0] << 8 | length[1]));
    if (!payload.empty() && !receive_exactly(payload.data(), payload.size())) {
        close();
        return std::nullopt;
    }
    return payload;
}

bool VpcdLink::send(const Bytes& payload) {
    if (!connected() || payload.size() > kMaxPayload) return false;
    Bytes message{static_cast<std::uint8_t>(payload.size() >> 8),
                  static_cast<std::uint8_t>(payload.size() & 0xFF)};
    message.insert(message.end(), payload.begin(), payload.end());
    std::size_t sent = 0;
    while (sent < message.size()) {
        const ssize_t n = ::send(socket_, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close();
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace vreader
