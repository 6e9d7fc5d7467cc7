// The NXP PN532 inside the reader: host frames D4 cmd data in, D5 cmd+1 data out.
// It owns the RF field switch and the list of targets it has activated; the cards
// themselves live in the field. Whatever takes time on the chip (activation retries,
// InAutoPoll periods, timeouts, slow cards) passes on the reader clock.
#ifndef VREADER_PN532_CHIP_H
#define VREADER_PN532_CHIP_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "model/cards/card.h"
#include "model/faults.h"
#include "model/field.h"
#include "model/reader_clock.h"

namespace vreader {

class Pn532Chip {
public:
    Pn532Chip(Field& field, Faults& faults);

    // The clock the chip waits on (a sleeping clock until one is given), and how much
    // faster than on the hardware reader time passes (0.01: a hundred times faster).
    void useClock(ReaderClock& clock) { clock_ = &clock; }
    void setTimeScale(double scale) { timeScale_ = scale; }

    // Executes one host frame and returns the chip's answer frame: D5, the command
    // code + 1 and the answer data, or the syntax-error frame 7F.
    Bytes execute(const Bytes& frame);
    // The same, for a host that waits at most `patience` of reader time for the
    // answer (nothing: for ever). Nothing when the host gave up first.
    std::optional<Bytes> executeWithin(const Bytes& frame,
                                        std::optional<std::chrono::microseconds> patience);

    bool rfFieldOn() const { return rfFieldOn_; }
    bool fieldEmpty() const { return field_.empty(); }
    const Field& field() const { return field_; }
    std::size_t activeTargetCount() const { return targets_.size(); }

    // The reader firmware's own polling: activates the first card that answers one of
    // the attempts as target 1, in place of the targets the chip held. Nothing found
    // (or the field is off): nothing, and the targets stay.
    Card* pollForReader(const std::vector<Activation>& attempts);
    // Forgets the target the reader's polling made of this card (the reader saw it
    // leave).
    void releaseTargetsOf(const Card& card);
    // The card of target 1 while that target still holds (same power session, card
    // in the field); nothing otherwise.
    Card* firstTargetCard() const;
    // Activates target 1's card again where it halted (a refused authentication),
    // as the reader's firmware does before it authenticates.
    void wakeFirstTarget();
    // The activation that made target 1 (what the chip reported about it).
    std::optional<Activation> firstTargetActivation() const;

private:
    // Answer data after D5 cmd+1; nothing means a syntax error.
    using Answer = std::optional<Bytes>;
    using Handler = Answer (Pn532Chip::*)(const Bytes& parameters);

    struct ActiveTarget {
        std::uint8_t number;
        Card* card;
        Activation activation;
        std::uint32_t powerSession;  // the card's, when it was activated
        std::uint8_t bitRateRx;
        std::uint8_t bitRateTx;
        bool byReader;    // activated by the reader's own polling
        bool deselected;   // InDeselect: reselected at the next exchange
    };

    struct FoundTarget {
        Card* card;
        Activation activation;
        std::uint8_t autopollType;
        Bytes targetData;
    };

    // How a wait on the clock ended.
    enum class Waited { TimeUp, FieldChanged, HostGaveUp };

    static std::optional<Handler> handlerFor(std::uint8_t command);
    // BrRx/BrTx code of a modulation: 0 106 kbit/s, 1 212, 2 424.
    static std::uint8_t bitRateOf(Modulation modulation);

    // Housekeeping (pn532_chip.cpp).
    Answer getFirmwareVersion(const Bytes& parameters);
    Answer getGeneralStatus(const Bytes& parameters);
    Answer readRegister(const Bytes& parameters);
    Answer writeRegister(const Bytes& parameters);
    Answer setParameters(const Bytes& parameters);
    Answer samConfiguration(const Bytes& parameters);
    Answer rfConfiguration(const Bytes& parameters);
    void switchRfField(bool on);

    // Polling (pn532_polling.cpp).
    Answer inListPassiveTarget(const Bytes& parameters);
    Answer inAutoPoll(const Bytes& parameters);
    Answer inJumpForDep(const Bytes& parameters);
    std::vector<FoundTarget> poll(const std::vector<std::pair<std::uint8_t, Activation>>& attempts,
                                  std::size_t maxTargets);
    std::vector<FoundTarget> pollWithRetries(
        const std::vector<std::pair<std::uint8_t, Activation>>& attempts, std::size_t maxTargets);
    void activate(const std::vector<FoundTarget>& found);
    void selectModulation(Modulation modulation);
    bool automaticRats() const { return (parameterFlags_ & 0x10) != 0; }

    // Talking to activated targets (pn532_targets.cpp).
    Answer inDataExchange(const Bytes& parameters);
    Answer inCommunicateThru(const Bytes& parameters);
    Answer inDeselect(const Bytes& parameters);
    Answer inRelease(const Bytes& parameters);
    Answer inPsl(const Bytes& parameters);
    ActiveTarget* target(std::uint8_t number);
    bool holds(const ActiveTarget& target) const;
    Bytes transmitTo(ActiveTarget& target, const Bytes& frame);
    Bytes chained(std::uint8_t targetNumber, Bytes answer);
    static std::optional<std::uint8_t> mifareAuthentication(Card& card, const Bytes& frame);
    static Bytes storageCardAnswer(const Card& card, Bytes answer);
    std::optional<std::pair<Card*, Bytes>> rawAnswer(const Bytes& frame, Modulation modulation);
    std::optional<Bytes> afterAnswerDelay(Card& card,
                                            std::optional<std::chrono::microseconds> timeout,
                                            const std::function<std::optional<Bytes>()>& answer);
    Modulation framing() const;

    // Reader time (pn532_timing.cpp).
    Waited wait(std::optional<std::chrono::microseconds> readerTime);
    bool pass(std::chrono::microseconds readerTime);
    std::chrono::microseconds scaled(std::chrono::microseconds readerTime) const;
    std::optional<std::chrono::microseconds> exchangeTimeout(const ActiveTarget& target) const;
    // RFConfiguration item 02 timeout codes: 0 none, n: 100 us * 2^(n-1), at most
    // 0x10 (3.28 s; UM0701 7.3.1).
    static std::optional<std::chrono::microseconds> timeoutOf(std::uint8_t code);
    std::optional<std::chrono::microseconds> retryTimeout() const { return timeoutOf(timings_[2]); }
    std::optional<std::chrono::microseconds> atrResTimeout() const { return timeoutOf(timings_[1]); }
    std::chrono::microseconds activationAttemptTime() const;

    Field& field_;
    Faults& faults_;
    SleepingClock sleepingClock_;
    ReaderClock* clock_ = &sleepingClock_;
    double timeScale_ = 1.0;
    std::optional<std::chrono::microseconds> hostPatience_;
    bool hostGaveUp_ = false;

    bool rfFieldOn_ = true;
    // SetParameters: fAutomaticATR_RES, fAutomaticRATS and fISO14443-4_PICC set.
    std::uint8_t parameterFlags_ = 0x34;
    // RFConfiguration item 05: MxRtyATR, MxRtyPSL, MxRtyPassiveActivation.
    Bytes maxRetries_{0xFF, 0x01, 0xFF};
    // RFConfiguration item 02: RFU, fATR_RES_Timeout, fRetryTimeout.
    Bytes timings_{0x00, 0x0B, 0x0A};
    std::map<std::uint16_t, std::uint8_t> registers_;
    std::vector<ActiveTarget> targets_;
    // The rest of a card answer longer than one frame (status bit 6, MI), for the
    // target it came from.
    std::optional<std::pair<std::uint8_t, Bytes>> more_;
};

}  // namespace vreader

#endif
