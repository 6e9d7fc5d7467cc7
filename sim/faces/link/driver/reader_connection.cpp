#include "reader_connection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace vreader::driver {

namespace {

using namespace std::chrono_literals;

// A chip command may take its time (retries, slow cards); a reader that says nothing
// for this long is taken for hung, as the CCID driver gives up on long commands.
constexpr auto kReplyTimeout = 120s;
// How often to look for the reader program again while it is not there.
constexpr auto kReconnectInterval = 20ms;

}  // namespace

ReaderConnection::ReaderConnection(std::string socketPath) : path_(std::move(socketPath)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = ends[0];
        wakeWrite_ = ends[1];
    }
}

ReaderConnection::~ReaderConnection() {
    closeDescriptor(command_);
    closeDescriptor(events_);
    closeDescriptor(wakeRead_);
    closeDescriptor(wakeWrite_);
}

void ReaderConnection::closeDescriptor(int& descriptor) {
    if (descriptor >= 0) ::close(descriptor);
    descriptor = -1;
}

int ReaderConnection::openConnection(link::Role role) const {
    const int descriptor = link::connectUnix(path_);
    if (descriptor < 0) return -1;
    // Commands wait for their reply in the read itself, bounded here.
    const timeval replyTimeout{std::chrono::duration_cast<std::chrono::seconds>(kReplyTimeout).count(), 0};
    if (role == link::Role::kCommands &&
        ::setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &replyTimeout, sizeof replyTimeout) != 0) {
        ::close(descriptor);
        return -1;
    }
    const link::Message hello{link::MessageType::kHello, {static_cast<std::uint8_t>(role)}};
    if (!link::writeMessage(descriptor, hello)) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

std::optional<link::Message> ReaderConnection::request(const link::Message& message) {
    const std::lock_guard lock(commandMutex_);
    // A connection that broke since the last request is found out by the write or the
    // read; one retry on a fresh connection covers a reader program that restarted.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool fresh = command_ < 0;
        if (fresh) command_ = openConnection(link::Role::kCommands);
        if (command_ < 0) return std::nullopt;
        if (link::writeMessage(command_, message)) {
            auto reply = link::readMessage(command_, std::chrono::milliseconds(-1));
            if (reply) return reply;
            // Sent but unanswered: the command may have reached the reader, so it is
            // not sent again.
            closeDescriptor(command_);
            return std::nullopt;
        }
        closeDescriptor(command_);
        if (fresh) return std::nullopt;
    }
    return std::nullopt;
}

void ReaderConnection::waitForWake(std::chrono::milliseconds timeout) {
    pollfd watched{wakeRead_, POLLIN, 0};
    ::poll(&watched, 1, static_cast<int>(timeout.count()));
}

// Reads what stopWaiting() wrote; true when it had written.
bool ReaderConnection::takeWake() {
    char drained[16];
    bool woken = false;
    while (::read(wakeRead_, drained, sizeof drained) > 0) woken = true;
    return woken;
}

void ReaderConnection::waitForEvent(std::chrono::milliseconds timeout) {
    const std::lock_guard lock(eventMutex_);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!takeWake()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        if (events_ < 0) {
            events_ = openConnection(link::Role::kEvents);
            // A fresh connection begins with the card state: read below, it wakes us.
            if (events_ < 0) waitForWake(std::min<std::chrono::milliseconds>(left, kReconnectInterval));
            continue;
        }
        pollfd watched[2] = {{events_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(watched, 2, static_cast<int>(left.count())) <= 0) continue;
        if (watched[1].revents != 0) {
            takeWake();
            return;
        }
        if (!link::readMessage(events_, std::chrono::milliseconds(0))) closeDescriptor(events_);
        return;
    }
}

void ReaderConnection::stopWaiting() {
    const char wake = 1;
    if (wakeWrite_ >= 0) (void)!::write(wakeWrite_, &wake, 1);
}

}  // namespace vreader::driver
