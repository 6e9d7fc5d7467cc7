// The driver's side of the link to the virtual reader program, for one reader.
// pcscd calls the driver from several threads at once: its event thread waits in
// wait_for_event() while client threads send commands. Each purpose has its own
// connection and its own lock, so a waiting event thread never holds up a command.
// The reader program may be absent, killed or restarted at any time: every call
// then fails or waits, and the next one connects again.
#ifndef VREADER_DRIVER_READER_CONNECTION_H
#define VREADER_DRIVER_READER_CONNECTION_H

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "link_protocol.h"

namespace vreader::driver {

class ReaderConnection {
public:
    explicit ReaderConnection(std::string socket_path);
    ~ReaderConnection();
    ReaderConnection(const ReaderConnection&) = delete;
    ReaderConnection& operator=(const ReaderConnection&) = delete;

    // One request and its reply over the command connection; nothing when the reader
    // program is not there, went away or did not answer in time.
    std::optional<link::Message> request(const link::Message& message);

    // Blocks until the reader pushes a card state, the reader program leaves or
    // comes back, stop_waiting() is called or the timeout has passed. Whatever woke
    // it, the caller looks at the card again.
    void wait_for_event(std::chrono::milliseconds timeout);
    // Wakes wait_for_event() once, now or, when it is not waiting, at its next call.
    // pcscd asks this on every disconnect (to start its power-off grace period) as
    // well as when it removes the reader, so it must not stop later waits.
    void stop_waiting();

private:
    int open_connection(link::Role role) const;
    void close_descriptor(int& descriptor);
    void wait_for_wake(std::chrono::milliseconds timeout);
    bool take_wake();

    const std::string path_;
    std::mutex command_mutex_;
    int command_ = -1;
    std::mutex event_mutex_;
    int events_ = -1;
    int wake_read_ = -1;
    int wake_write_ = -1;
};

}  // namespace vreader::driver

#endif
