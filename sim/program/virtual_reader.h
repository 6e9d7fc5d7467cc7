// The whole virtual device: the cards of the scenario, the field, the PN532, the
// ACR122U in front of it, injected faults, and the card PC/SC is to see.
#ifndef VREADER_VIRTUAL_READER_H
#define VREADER_VIRTUAL_READER_H

#include "model/acr122u_reader.h"
#include "model/faults.h"
#include "model/field.h"
#include "model/handler_stats.h"
#include "link_protocol.h"
#include "model/chip/pn532_chip.h"
#include "model/reader_clock.h"
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
    void use(ReaderClock* target) { target_ = target; }

private:
    ReaderClock* target_ = nullptr;
    SleepingClock sleeping_;
};

// The ATR PC/SC sees while presence is "always" and the reader has activated no
// card: no historical bytes, T=0 and T=1 offered (TD1 = 80, TD2 = 01), TCK.
inline const Bytes kNoCardAtr{0x3B, 0x80, 0x80, 0x01, 0x01};

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

    // The reader was pulled off (control "drop") until "attach" plugs it back.
    bool unplugged = false;
    // Set by the event loop: the pcscd driver is connected.
    bool attached = false;
    bool quitRequested = false;

    // Runs the reader firmware's polling after the field changed or a command ran,
    // and counts a new card whenever the activated one changed.
    void afterChange();
    // What PC/SC is to see now: with "tag" presence a card exactly while the reader
    // has activated one, with its pseudo-ATR; with "always" presence always one card
    // (the activated card's ATR, or kNoCardAtr).
    link::CardState cardState() const;

private:
    Scenario scenario_;
    Presence presence_;
    Field field_;
    Faults faults_;
    ForwardingClock clock_;
    Pn532Chip chip_{field_, faults_};
    Acr122uReader reader_{chip_};
    HandlerStats stats_;
    std::optional<Bytes> activatedAtr_;
    std::uint32_t cardNumber_ = 0;
};

}  // namespace vreader

#endif
