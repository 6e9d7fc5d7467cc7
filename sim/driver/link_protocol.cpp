#include "link_protocol.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vreader::link {

namespace {

constexpr std::size_t kLengthSize = 4;

void put_u32(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t get_u32(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) << 24 | static_cast<std::uint32_t>(in[1]) << 16 |
           static_cast<std::uint32_t>(in[2]) << 8 | static_cast<std::uint32_t>(in[3]);
}

bool read_exactly(int descriptor, std::uint8_t* buffer, std::size_t size) {
    std::size_t received = 0;
    while (received < size) {
        const ssize_t n = ::recv(descriptor, buffer + received, size - received, MSG_WAITALL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        received += static_cast<std::size_t>(n);
    }
    return true;
}

// True once the descriptor has something to read (or has hung up).
bool wait_readable(int descriptor, std::chrono::milliseconds timeout) {
    pollfd watched{descriptor, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&watched, 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

}  // namespace

Bytes encode(const Message& message) {
    Bytes frame;
    frame.reserve(kLengthSize + 1 + message.payload.size());
    put_u32(frame, static_cast<std::uint32_t>(message.payload.size() + 1));
    frame.push_back(static_cast<std::uint8_t>(message.type));
    frame.insert(frame.end(), message.payload.begin(), message.payload.end());
    return frame;
}

Bytes encode_card_state(const CardState& state) {
    Bytes payload{static_cast<std::uint8_t>(state.present ? 1 : 0)};
    put_u32(payload, state.card_number);
    if (state.present) payload.insert(payload.end(), state.atr.begin(), state.atr.end());
    return payload;
}

std::optional<CardState> decode_card_state(const Bytes& payload) {
    if (payload.size() < 1 + kLengthSize || payload[0] > 1) return std::nullopt;
    CardState state;
    state.present = payload[0] == 1;
    state.card_number = get_u32(payload.data() + 1);
    state.atr.assign(payload.begin() + 1 + kLengthSize, payload.end());
    return state;
}

Bytes encode_control(std::uint32_t code, const Bytes& data) {
    Bytes payload;
    put_u32(payload, code);
    payload.insert(payload.end(), data.begin(), data.end());
    return payload;
}

std::optional<std::pair<std::uint32_t, Bytes>> decode_control(const Bytes& payload) {
    if (payload.size() < kLengthSize) return std::nullopt;
    return std::make_pair(get_u32(payload.data()), Bytes(payload.begin() + kLengthSize, payload.end()));
}

bool write_message(int descriptor, const Message& message) {
    const Bytes frame = encode(message);
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const ssize_t n = ::send(descriptor, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<Message> read_message(int descriptor, std::chrono::milliseconds timeout) {
    // Without a timeout the read itself waits: one system call less per message.
    if (timeout.count() >= 0 && !wait_readable(descriptor, timeout)) return std::nullopt;
    std::uint8_t header[kLengthSize + 1];
    if (!read_exactly(descriptor, header, sizeof header)) return std::nullopt;
    const std::uint32_t length = get_u32(header);
    if (length == 0 || length > kMaxFrame) return std::nullopt;
    Message message{static_cast<MessageType>(header[kLengthSize]), Bytes(length - 1)};
    if (!message.payload.empty() && !read_exactly(descriptor, message.payload.data(), message.payload.size())) {
        return std::nullopt;
    }
    return message;
}

int connect_unix(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

}  // namespace vreader::link
