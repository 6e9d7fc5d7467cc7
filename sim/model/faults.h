// Faults injected into the reader from outside, to see how a host copes with them.
#ifndef VREADER_FAULTS_H
#define VREADER_FAULTS_H

#include <chrono>

namespace vreader {

struct Faults {
    // Every card exchange ends in the chip's timeout status, as when the card
    // stops answering.
    bool exchangeTimeout = false;
    // The first card found by the next successful poll leaves the field right after
    // the poll has answered (one shot).
    bool vanishAfterPoll = false;
    // Every answer of the reader is held back this long.
    std::chrono::milliseconds slowAnswer{0};

    void clear() { *this = Faults{}; }
};

}  // namespace vreader

#endif
