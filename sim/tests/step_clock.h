// Reader time for tests, without sleeping: it adds up what the chip waits, and can
// put a card into the field once a given reader time has passed, waking the chip.
#ifndef VREADER_STEP_CLOCK_H
#define VREADER_STEP_CLOCK_H

#include <chrono>
#include <optional>
#include <stdexcept>

#include "model/field.h"
#include "model/reader_clock.h"

namespace vreader::testing {

class StepClock final : public ReaderClock {
public:
    explicit StepClock(Field& field) : field_(field) {}

    bool wait(std::chrono::microseconds duration) override {
        if (arrival_ && waited + duration >= arrival_->at) {
            waited = arrival_->at;
            field_.insert(*arrival_->card);
            arrival_.reset();
            return true;
        }
        waited += duration;
        // A chip that would wait for ever fails the test instead of hanging it.
        if (waited > std::chrono::hours(24)) throw std::runtime_error("the chip waits for ever");
        return false;
    }

    bool stopping() const override { return stopAt && waited >= *stopAt; }

    // The card enters the field once `at` has passed in all.
    void cardArrives(Card& card, std::chrono::microseconds at) { arrival_ = Arrival{&card, at}; }

    std::chrono::microseconds waited{0};
    // The program ends once this much reader time has passed.
    std::optional<std::chrono::microseconds> stopAt;

private:
    struct Arrival {
        Card* card;
        std::chrono::microseconds at;
    };
    Field& field_;
    std::optional<Arrival> arrival_;
};

}  // namespace vreader::testing

#endif
