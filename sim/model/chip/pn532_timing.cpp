// Reader time on the chip: waits on the reader clock, scaled by the scenario, cut
// short when the host stops waiting for the answer.
#include <cmath>

#include "model/chip/pn532_chip.h"

namespace vreader {

namespace {

using std::chrono::microseconds;
using Clock = std::chrono::steady_clock;

// "For ever" is waited in slices of this much real time.
constexpr microseconds kForeverSlice = std::chrono::hours(1);
// RFConfiguration item 02 timeout codes: 0 none, n: 100 us * 2^(n-1), at most 3.28 s
// (UM0701 7.3.1).
constexpr std::uint8_t kLongestTimeoutCode = 0x10;

microseconds realTimeSince(Clock::time_point start) {
    return std::chrono::duration_cast<microseconds>(Clock::now() - start);
}

}  // namespace

microseconds Pn532Chip::scaled(microseconds readerTime) const {
    const double real = static_cast<double>(readerTime.count()) * timeScale_;
    return microseconds(static_cast<microseconds::rep>(std::llround(real)));
}

// One wait on the clock: readerTime (nothing: for ever), or less when the host's
// patience ends first, or until the field changes.
Pn532Chip::Waited Pn532Chip::wait(std::optional<microseconds> readerTime) {
    if (hostGaveUp_) return Waited::HostGaveUp;
    const microseconds wanted = readerTime ? scaled(*readerTime) : kForeverSlice;
    const bool patienceEndsFirst = hostPatience_ && *hostPatience_ <= wanted;
    const microseconds span = patienceEndsFirst ? *hostPatience_ : wanted;
    const auto start = Clock::now();
    const bool fieldChanged = clock_->wait(span);
    if (hostPatience_) {
        const microseconds spent = fieldChanged ? std::min(span, realTimeSince(start)) : span;
        *hostPatience_ -= spent;
    }
    if (fieldChanged) return Waited::FieldChanged;
    if (patienceEndsFirst || clock_->stopping()) {
        hostGaveUp_ = true;
        return Waited::HostGaveUp;
    }
    return Waited::TimeUp;
}

// Lets readerTime pass whole, whatever happens in the field meanwhile. False when
// the host gave up first.
bool Pn532Chip::pass(microseconds readerTime) {
    microseconds left = readerTime;
    while (left.count() > 0) {
        const auto start = Clock::now();
        switch (wait(left)) {
            case Waited::HostGaveUp: return false;
            case Waited::TimeUp: return true;
            case Waited::FieldChanged: break;
        }
        // Back from scaled real time to reader time.
        const double real = static_cast<double>(realTimeSince(start).count());
        const auto spent = static_cast<microseconds::rep>(std::llround(real / timeScale_));
        left -= microseconds(std::max<microseconds::rep>(spent, 1));
    }
    return true;
}

std::optional<microseconds> Pn532Chip::timeoutOf(std::uint8_t code) {
    const std::uint8_t capped = std::min(code, kLongestTimeoutCode);
    if (capped == 0) return std::nullopt;
    return microseconds(100) * (1 << (capped - 1));
}

// How long the chip waits for a target's answer: the frame waiting time the card
// announced for an ISO/IEC 14443-4 target (ISO/IEC 14443-4 7.2: 302 us * 2^FWI),
// the retry timeout of RFConfiguration item 02 for the others.
std::optional<microseconds> Pn532Chip::exchangeTimeout(const ActiveTarget& active) const {
    if (active.card->state() == CardState::Protocol) {
        const std::uint8_t fwi = std::min<std::uint8_t>(active.card->frameWaitingInteger(), 14);
        return microseconds(302 << fwi);
    }
    return retryTimeout();
}

// How long one passive activation attempt lasts when no card answers: not
// documented; the chip is taken to wait its retry timeout for an answer.
microseconds Pn532Chip::activationAttemptTime() const {
    return retryTimeout().value_or(microseconds(100));
}

}  // namespace vreader
