// The whole virtual device: the cards of the scenario, the field, the PN532, the
// ACR122U in front of it, its card slot, injected faults, and its reader clock.
#ifndef VREADER_VIRTUAL_READER_H
#define VREADER_VIRTUAL_READER_H

#include "model/acr122u_reader.h"
#include "model/faults.h"
#include "model/field.h"
#include "model/handler_stats.h"
#include "model/chip/pn532_chip.h"
#include "model/reader_clock.h"
#include "model/slot_service.h"
#include "program/scenario.h"

namespace vreader {

// The reader clock the chip sees. It passes the time on to whichever clock the
// program installs (the event loop's, which keeps serving control commands), and
// sleeps while none is installed.
class ForwardingClock final : public ReaderClock {
public:
    bool wait(std::chrono::microseconds duration) override {
        return target_ ? target_->wait(duration) : sleeping_.wait(duration);
    }
    bool stopping() const override { return target_ != nullptr && target_->stopping(); }
    void use(ReaderClock* target) { target_ = target; }

private:
    ReaderClock* target_ = nullptr;
    SleepingClock sleeping_;
};

class VirtualReader {
public:
    VirtualReader(Scenario scenario, Presence presence);

    Acr122uReader& reader() { return reader_; }
    const Acr122uReader& reader() const { return reader_; }
    const Pn532Chip& chip() const { return chip_; }
    Field& field() { return field_; }
    const Field& field() const { return field_; }
    Faults& faults() { return faults_; }
    const Scenario& scenario() const { return scenario_; }
    Presence presence() const { return presence_; }
    HandlerStats& stats() { return stats_; }
    ForwardingClock& clock() { return clock_; }
    SlotService& slot() { return slot_; }
    const SlotService& slot() const { return slot_; }

    // The reader was pulled off (control "drop") until "attach" plugs it back.
    bool unplugged = false;
    // Set by the event loop: the USB device is plugged in.
    bool attached = false;
    bool quitRequested = false;

    // After the field changed: the firmware polls, and the slot follows.
    void afterChange() { slot_.afterChange(); }

private:
    Scenario scenario_;
    Presence presence_;
    Field field_;
    Faults faults_;
    ForwardingClock clock_;
    Pn532Chip chip_{field_, faults_};
    Acr122uReader reader_{chip_};
    HandlerStats stats_;
    SlotService slot_{reader_, chip_, field_, faults_, clock_, stats_, presence_};
};

}  // namespace vreader

#endif
