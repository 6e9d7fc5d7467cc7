// The NXP PN532 inside the reader: host frames D4 cmd data in, D5 cmd+1 data out.
// It owns the RF field switch and the list of targets it has activated; the cards
// themselves live in the field.
#ifndef VREADER_PN532_CHIP_H
#define VREADER_PN532_CHIP_H

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "card.h"
#include "faults.h"
#include "field.h"

namespace vreader {

class Pn532Chip {
public:
    Pn532Chip(Field& field, Faults& faults) : field_(field), faults_(faults) {}

    // Executes one host frame and returns the chip's answer frame: D5, the command
    // code + 1 and the answer data, or the syntax-error frame 7F.
    Bytes execute(const Bytes& frame);

    bool rf_field_on() const { return rf_field_on_; }
    bool field_empty() const { return field_.empty(); }
    std::size_t active_target_count() const { return targets_.size(); }

private:
    // Answer data after D5 cmd+1; nothing means a syntax error.
    using Answer = std::optional<Bytes>;
    using Handler = Answer (Pn532Chip::*)(const Bytes& parameters);

    struct ActiveTarget {
        std::uint8_t number;
        Card* card;
        Modulation modulation;
        std::uint8_t bit_rate_rx;
        std::uint8_t bit_rate_tx;
    };

    struct FoundTarget {
        Card* card;
        Modulation modulation;
        std::uint8_t autopoll_type;
        Bytes target_data;
    };

    static std::optional<Handler> handler_for(std::uint8_t command);

    // Housekeeping (pn532_chip.cpp).
    Answer get_firmware_version(const Bytes& parameters);
    Answer get_general_status(const Bytes& parameters);
    Answer read_register(const Bytes& parameters);
    Answer write_register(const Bytes& parameters);
    Answer set_parameters(const Bytes& parameters);
    Answer sam_configuration(const Bytes& parameters);
    Answer rf_configuration(const Bytes& parameters);

    // Polling (pn532_polling.cpp).
    Answer in_list_passive_target(const Bytes& parameters);
    Answer in_auto_poll(const Bytes& parameters);
    std::vector<FoundTarget> poll(const std::vector<std::pair<std::uint8_t, Activation>>& attempts,
                                  std::size_t max_targets);
    void activate(const std::vector<FoundTarget>& found);

    // Talking to activated targets (pn532_targets.cpp).
    Answer in_data_exchange(const Bytes& parameters);
    Answer in_communicate_thru(const Bytes& parameters);
    Answer in_deselect(const Bytes& parameters);
    Answer in_release(const Bytes& parameters);
    Answer in_psl(const Bytes& parameters);
    ActiveTarget* target(std::uint8_t number);
    Bytes transmit_to(const ActiveTarget& target, const Bytes& frame) const;

    Field& field_;
    Faults& faults_;
    bool rf_field_on_ = true;
    std::uint8_t parameter_flags_ = 0;
    Bytes max_retries_{0xFF, 0x01, 0xFF};
    std::map<std::uint16_t, std::uint8_t> registers_;
    std::vector<ActiveTarget> targets_;
};

}  // namespace vreader

#endif
