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

void putU32(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t getU32(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) << 24 | static_cast<std::uint32_t>(in[1]) << 16 |
           static_cast<std::uint32_t>(in[2]) << 8 | static_cast<std::uint32_t>(in[3]);
}

bool readExactly(int descriptor, std::uint8_t* buffer, std::size_t size) {
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
bool waitReadable(int descriptor, std::chrono::milliseconds timeout) {
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
    putU32(frame, static_cast<std::uint32_t>(message.payload.size() + 1));
    frame.push_back(static_cast<std::uint8_t>(message.type));
    frame.insert(frame.end(), message.payload.begin(), message.payload.end());
    return frame;
}

Bytes encodeCardState(const CardState& state) {
    Bytes payload{static_cast<std::uint8_t>(state.present ? 1 : 0)};
    putU32(payload, state.cardNumber);
    if (state.present) payload.insert(payload.end(), state.atr.begin(), state.atr.end());
    return payload;
}

std::optional<CardState> decodeCardState(const Bytes& payload) {
    if (payload.size() < 1 + kLengthSize || payload[0] > 1) return std::nullopt;
    CardState state;
    state.present = payload[0] == 1;
    state.cardNumber = getU32(payload.data() + 1);
    state.atr.assign(payload.begin() + 1 + kLengthSize, payload.end());
    return state;
}

Bytes encodeControl(std::uint32_t code, const Bytes& data) {
    Bytes payload;
    putU32(payload, code);
    payload.insert(payload.end(), data.begin(), data.end());
    return payload;
}

std::optional<std::pair<std::uint32_t, Bytes>> decodeControl(const Bytes& payload) {
    if (payload.size() < kLengthSize) return std::nullopt;
    return std::make_pair(getU32(payload.data()), Bytes(payload.begin() + kLengthSize, payload.end()));
}

bool writeMessage(int descriptor, const Message& message) {
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

std::optional<Message> readMessage(int descriptor, std::chrono::milliseconds timeout) {
    // Without a timeout the read itself waits: one system call less per message.
    if (timeout.count() >= 0 && !waitReadable(descriptor, timeout)) return std::nullopt;
    std::uint8_t header[kLengthSize + 1];
    if (!readExactly(descriptor, header, sizeof header)) return std::nullopt;
    const std::uint32_t length = getU32(header);
    if (length == 0 || length > kMaxFrame) return std::nullopt;
    Message message{static_cast<MessageType>(header[kLengthSize]), Bytes(length - 1)};
    if (!message.payload.empty() && !readExactly(descriptor, message.payload.data(), message.payload.size())) {
        return std::nullopt;
    }
    return message;
}

int connectUnix(const std::string& path) {
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
