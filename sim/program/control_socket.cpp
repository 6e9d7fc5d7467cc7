#include "program/control_socket.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vreader {

ControlSocket::ControlSocket(std::string path) : path_(std::move(path)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof address.sun_path) {
        throw std::system_error(ENAMETOOLONG, std::generic_category(), path_);
    }
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
    ::unlink(path_.c_str());
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0) {
        const int error = errno;
        ::close(listener_);
        throw std::system_error(error, std::generic_category(), path_);
    }
}

ControlSocket::~ControlSocket() {
    for (const auto& client : clients_) ::close(client->descriptor);
    ::close(listener_);
    ::unlink(path_.c_str());
}

void ControlSocket::watch(std::vector<pollfd>& watched) const {
    watched.push_back({listener_, POLLIN, 0});
    for (const auto& client : clients_) watched.push_back({client->descriptor, POLLIN, 0});
}

bool ControlSocket::readable(const std::vector<pollfd>& watched, int descriptor) {
    for (const pollfd& p : watched) {
        if (p.fd == descriptor) return (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    }
    return false;
}

void ControlSocket::acceptClient() {
    const int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (descriptor >= 0) clients_.push_back(std::make_unique<Client>(Client{descriptor, {}}));
}

// False when the client has gone and is to be forgotten.
bool ControlSocket::serveClient(Client& client, const CommandRunner& run) {
    const bool open = client.lines.fillFrom(client.descriptor);
    while (auto line = client.lines.nextLine()) {
        const std::string answer = run(*line) + "\n";
        if (::send(client.descriptor, answer.data(), answer.size(), MSG_NOSIGNAL) < 0) return false;
    }
    return open;
}

void ControlSocket::serve(const std::vector<pollfd>& watched, const CommandRunner& run) {
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (readable(watched, (*it)->descriptor) && !serveClient(**it, run)) {
            ::close((*it)->descriptor);
            it = clients_.erase(it);
        } else {
            ++it;
        }
    }
    if (readable(watched, listener_)) acceptClient();
}

}  // namespace vreader
