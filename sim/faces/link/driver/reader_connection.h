// The driver's side of the link to the virtual reader program, for one reader.
// pcscd calls the driver from several threads at once: its event thread waits in
// waitForEvent() while client threads send commands. Each purpose has its own
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
    explicit ReaderConnection(std::string socketPath);
    ~ReaderConnection();
    ReaderConnection(const ReaderConnection&) = delete;
    ReaderConnection& operator=(const ReaderConnection&) = delete;

    // One request and its reply over the command connection; nothing when the reader
    // program is not there, went away or did not answer in time.
    std::optional<link::Message> request(const link::Message& message);

    // Blocks until the reader pushes a card state, the reader program leaves or
    // comes back, stopWaiting() is called or the timeout has passed. Whatever woke
    // it, the caller looks at the card again.
    void waitForEvent(std::chrono::milliseconds timeout);
    // Wakes waitForEvent() once, now or, when it is not waiting, at its next call.
    // pcscd asks this on every disconnect (to start its power-off grace period) as
    // well as when it removes the reader, so it must not stop later waits.
    void stopWaiting();

private:
    int openConnection(link::Role role) const;
    void closeDescriptor(int& descriptor);
    void waitForWake(std::chrono::milliseconds timeout);
    bool takeWake();

    const std::string path_;
    std::mutex commandMutex_;
    int command_ = -1;
    std::mutex eventMutex_;
    int events_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
};

}  // namespace vreader::driver

#endif
