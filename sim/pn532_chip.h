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

#include "card.h"
#include "faults.h"
#include "field.h"
#include "reader_clock.h"

namespace vreader {

class Pn532Chip {
public:
    Pn532Chip(Field& field, Faults& faults);

    // The clock the chip waits on (a sleeping clock until one is given), and how much
    // faster than on the hardware reader time passes (0.01: a hundred times faster).
    void use_clock(ReaderClock& clock) { clock_ = &clock; }
    void set_time_scale(double scale) { time_scale_ = scale; }

    // Executes one host frame and returns the chip's answer frame: D5, the command
    // code + 1 and the answer data, or the syntax-error frame 7F.
    Bytes execute(const Bytes& frame);
    // The same, for a host that waits at most `patience` of reader time for the
    // answer (nothing: for ever). Nothing when the host gave up first.
    std::optional<Bytes> execute_within(const Bytes& frame,
                                        std::optional<std::chrono::microseconds> patience);

    bool rf_field_on() const { return rf_field_on_; }
    bool field_empty() const { return field_.empty(); }
    const Field& field() const { return field_; }
    std::size_t active_target_count() const { return targets_.size(); }

    // The reader firmware's own polling: activates the first card that answers one of
    // the attempts as target 1, in place of the targets the chip held. Nothing found
    // (or the field is off): nothing, and the targets stay.
    Card* poll_for_reader(const std::vector<Activation>& attempts);
    // Forgets the target the reader's polling made of this card (the reader saw it
    // leave).
    void release_targets_of(const Card& card);
    // The card of target 1 while that target still holds (same power session, card
    // in the field); nothing otherwise.
    Card* first_target_card() const;
    // The activation that made target 1 (what the chip reported about it).
    std::optional<Activation> first_target_activation() const;

private:
    // Answer data after D5 cmd+1; nothing means a syntax error.
    using Answer = std::optional<Bytes>;
    using Handler = Answer (Pn532Chip::*)(const Bytes& parameters);

    struct ActiveTarget {
        std::uint8_t number;
        Card* card;
        Activation activation;
        std::uint32_t power_session;  // the card's, when it was activated
        std::uint8_t bit_rate_rx;
        std::uint8_t bit_rate_tx;
        bool by_reader;    // activated by the reader's own polling
        bool deselected;   // InDeselect: reselected at the next exchange
    };

    struct FoundTarget {
        Card* card;
        Activation activation;
        std::uint8_t autopoll_type;
        Bytes target_data;
    };

    // How a wait on the clock ended.
    enum class Waited { TimeUp, FieldChanged, HostGaveUp };

    static std::optional<Handler> handler_for(std::uint8_t command);
    // BrRx/BrTx code of a modulation: 0 106 kbit/s, 1 212, 2 424.
    static std::uint8_t bit_rate_of(Modulation modulation);

    // Housekeeping (pn532_chip.cpp).
    Answer get_firmware_version(const Bytes& parameters);
    Answer get_general_status(const Bytes& parameters);
    Answer read_register(const Bytes& parameters);
    Answer write_register(const Bytes& parameters);
    Answer set_parameters(const Bytes& parameters);
    Answer sam_configuration(const Bytes& parameters);
    Answer rf_configuration(const Bytes& parameters);
    void switch_rf_field(bool on);

    // Polling (pn532_polling.cpp).
    Answer in_list_passive_target(const Bytes& parameters);
    Answer in_auto_poll(const Bytes& parameters);
    Answer in_jump_for_dep(const Bytes& parameters);
    std::vector<FoundTarget> poll(const std::vector<std::pair<std::uint8_t, Activation>>& attempts,
                                  std::size_t max_targets);
    std::vector<FoundTarget> poll_with_retries(
        const std::vector<std::pair<std::uint8_t, Activation>>& attempts, std::size_t max_targets);
    void activate(const std::vector<FoundTarget>& found);
    void select_modulation(Modulation modulation);
    bool automatic_rats() const { return (parameter_flags_ & 0x10) != 0; }

    // Talking to activated targets (pn532_targets.cpp).
    Answer in_data_exchange(const Bytes& parameters);
    Answer in_communicate_thru(const Bytes& parameters);
    Answer in_deselect(const Bytes& parameters);
    Answer in_release(const Bytes& parameters);
    Answer in_psl(const Bytes& parameters);
    ActiveTarget* target(std::uint8_t number);
    bool holds(const ActiveTarget& target) const;
    Bytes transmit_to(ActiveTarget& target, const Bytes& frame);
    Bytes chained(std::uint8_t target_number, Bytes answer);
    std::optional<std::pair<Card*, Bytes>> raw_answer(const Bytes& frame, Modulation modulation);
    std::optional<Bytes> after_answer_delay(Card& card,
                                            std::optional<std::chrono::microseconds> timeout,
                                            const std::function<std::optional<Bytes>()>& answer);
    Modulation framing() const;

    // Reader time (pn532_timing.cpp).
    Waited wait(std::optional<std::chrono::microseconds> reader_time);
    bool pass(std::chrono::microseconds reader_time);
    std::chrono::microseconds scaled(std::chrono::microseconds reader_time) const;
    std::optional<std::chrono::microseconds> exchange_timeout(const ActiveTarget& target) const;
    // RFConfiguration item 02 timeout codes: 0 none, n: 100 us * 2^(n-1), at most
    // 0x10 (3.28 s; UM0701 7.3.1).
    static std::optional<std::chrono::microseconds> timeout_of(std::uint8_t code);
    std::optional<std::chrono::microseconds> retry_timeout() const { return timeout_of(timings_[2]); }
    std::optional<std::chrono::microseconds> atr_res_timeout() const { return timeout_of(timings_[1]); }
    std::chrono::microseconds activation_attempt_time() const;

    Field& field_;
    Faults& faults_;
    SleepingClock sleeping_clock_;
    ReaderClock* clock_ = &sleeping_clock_;
    double time_scale_ = 1.0;
    std::optional<std::chrono::microseconds> host_patience_;
    bool host_gave_up_ = false;

    bool rf_field_on_ = true;
    // SetParameters: fAutomaticATR_RES, fAutomaticRATS and fISO14443-4_PICC set.
    std::uint8_t parameter_flags_ = 0x34;
    // RFConfiguration item 05: MxRtyATR, MxRtyPSL, MxRtyPassiveActivation.
    Bytes max_retries_{0xFF, 0x01, 0xFF};
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
