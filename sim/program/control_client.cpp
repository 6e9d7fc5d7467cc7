#include "program/control_client.h"

#include <cstring>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vreader {

namespace {

// A connected descriptor, or -1 when nobody listens there (yet).
int connectOnce(const std::string& path) {
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

std::optional<std::string> readLine(int s, std::chrono::steady_clock::time_point deadline) {
    std::string line;
    char c;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{s, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
        if (::read(s, &c, 1) != 1) return std::nullopt;
        if (c == '\n') return line;
        line.push_back(c);
    }
}

}  // namespace

std::optional<std::string> sendControlCommand(const std::string& socketPath,
                                                const std::string& command,
                                                std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    int s = connectOnce(socketPath);
    while (s < 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        s = connectOnce(socketPath);
    }
    if (s < 0) return std::nullopt;
    const std::string line = command + "\n";
    std::optional<std::string> answer;
    if (::send(s, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size())) {
        answer = readLine(s, deadline);
    }
    ::close(s);
    return answer;
}

}  // namespace vreader
