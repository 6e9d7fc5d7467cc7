// Reader time. The chip waits for cards (passive-activation retries, InAutoPoll
// periods, timeouts, slow cards) through this clock, so that the event loop can keep
// serving control commands while the chip waits and wake it when the field changes.
#ifndef VREADER_READER_CLOCK_H
#define VREADER_READER_CLOCK_H

#include <chrono>
#include <thread>

namespace vreader {

class ReaderClock {
public:
    virtual ~ReaderClock() = default;
    // Lets reader time pass (already scaled by the scenario's time scale). Returns early,
    // with true, as soon as the field changed (a card was put in or taken out), so a chip
    // that waits "for ever" for a card wakes when one arrives; false when the time ran out.
    virtual bool wait(std::chrono::microseconds duration) = 0;
    // The program is ending (a signal, or "quit"): a chip that would go on waiting for
    // a card ends its command instead, so the program can answer and stop.
    virtual bool stopping() const { return false; }
};

// A clock for unit tests and for a reader nobody else drives: it sleeps, and since
// nothing can change the field while it sleeps, it never wakes early.
class SleepingClock final : public ReaderClock {
public:
    bool wait(std::chrono::microseconds duration) override {
        if (duration.count() > 0) std::this_thread::sleep_for(duration);
        return false;
    }
};

}  // namespace vreader

#endif
