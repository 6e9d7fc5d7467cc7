#include "faces/link/pcscd_link.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vreader {

namespace {

bool readable(const std::vector<pollfd>& watched, int descriptor) {
    const auto found = std::find_if(watched.begin(), watched.end(),
                                    [descriptor](const pollfd& p) { return p.fd == descriptor; });
    return found != watched.end() && (found->revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

}  // namespace

void PcscdLink::closeAll() noexcept {
    if (!listening()) return;
    for (const Driver& driver : drivers_) ::close(driver.descriptor);
    drivers_.clear();
    ::close(listener_);
    listener_ = -1;
    ::unlink(path_.c_str());
}

void PcscdLink::listen(bool on) {
    if (on == listening()) return;
    if (!on) {
        closeAll();
        return;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof address.sun_path) throw std::system_error(ENAMETOOLONG, std::generic_category(), path_);
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) throw std::system_error(errno, std::generic_category(), "socket");
    ::unlink(path_.c_str());
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(s, 8) != 0) {
        const int error = errno;
        ::close(s);
        throw std::system_error(error, std::generic_category(), path_);
    }
    listener_ = s;
}

void PcscdLink::watch(std::vector<pollfd>& watched) const {
    if (listener_ >= 0) watched.push_back({listener_, POLLIN, 0});
    for (const Driver& driver : drivers_) watched.push_back({driver.descriptor, POLLIN, 0});
}

void PcscdLink::acceptDriver() {
    const int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (descriptor >= 0) drivers_.push_back({descriptor, std::nullopt, std::nullopt});
}

bool PcscdLink::serveDriver(Driver& driver, const Answerer& answer) {
    // poll() said it is readable: the read need not look first.
    const auto request = link::readMessage(driver.descriptor, std::chrono::milliseconds(-1));
    if (!request) return false;
    if (!driver.role) {
        if (request->type != link::MessageType::kHello || request->payload.size() != 1) return false;
        driver.role = static_cast<link::Role>(request->payload[0]);
        return *driver.role == link::Role::kCommands || *driver.role == link::Role::kEvents;
    }
    // The event connection only listens.
    if (*driver.role != link::Role::kCommands) return false;
    return link::writeMessage(driver.descriptor, answer(*request));
}

void PcscdLink::serve(const std::vector<pollfd>& watched, const Answerer& answer) {
    for (auto it = drivers_.begin(); it != drivers_.end();) {
        if (readable(watched, it->descriptor) && !serveDriver(*it, answer)) {
            ::close(it->descriptor);
            it = drivers_.erase(it);
        } else {
            ++it;
        }
    }
    if (listener_ >= 0 && readable(watched, listener_)) acceptDriver();
}

void PcscdLink::publish(const link::CardState& state) {
    for (auto it = drivers_.begin(); it != drivers_.end();) {
        // Only a card's arrival or departure is news: with "always" presence the ATR of
        // the one pseudo-card follows the reader's activations, which is no event.
        const bool due = it->role == link::Role::kEvents &&
                         (!it->sent || it->sent->present != state.present || it->sent->cardNumber != state.cardNumber);
        if (due && !link::writeMessage(it->descriptor, {link::MessageType::kCardState, link::encodeCardState(state)})) {
            ::close(it->descriptor);
            it = drivers_.erase(it);
            continue;
        }
        if (due) it->sent = state;
        ++it;
    }
}

}  // namespace vreader
