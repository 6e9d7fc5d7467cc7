// The ACR122U's own layer: the pseudo-APDUs with class FF that reach the reader
// through PC/SC under T=0. A PN532 command travels in a direct transmit; the reader
// announces the chip's answer with 61 Le and holds it until GET RESPONSE fetches it.
#ifndef VREADER_ACR122U_READER_H
#define VREADER_ACR122U_READER_H

#include <cstdint>
#include <optional>

#include "hex_bytes.h"
#include "pn532_chip.h"

namespace vreader {

class Acr122uReader {
public:
    explicit Acr122uReader(Pn532Chip& chip) : chip_(chip) {}

    // The reader's answer to one command APDU under T=0: a chip answer is announced
    // with 61 Le and fetched with GET RESPONSE.
    Bytes transmit(const Bytes& apdu);
    // The same command answered in one piece, as the reader answers over the CCID
    // escape channel and under T=1: a chip answer comes back whole with 90 00.
    Bytes exchange_whole(const Bytes& apdu);

    // The reader firmware's own polling of the field, run after the field changed:
    // it activates a card it finds (when the PICC parameters let it) and forgets one
    // that has left.
    void poll_field();
    // The PC/SC pseudo-ATR of the card the reader has found and activated by itself;
    // nothing while it has none (PC/SC then sees no card).
    std::optional<Bytes> card_atr() const;

    // Power off or reset of the pseudo-card: an answer not yet fetched is lost.
    void drop_pending() { pending_.reset(); }
    bool has_pending() const { return pending_.has_value(); }
    // Bit 0 red, bit 1 green.
    std::uint8_t led_state() const { return led_state_; }

private:
    Bytes pseudo_command(const Bytes& apdu);
    Bytes direct_transmit(const Bytes& chip_frame);
    Bytes get_response(const Bytes& apdu);
    Bytes led_and_buzzer(const Bytes& apdu);

    Pn532Chip& chip_;
    // The chip's answer followed by 90 00, waiting for GET RESPONSE.
    std::optional<Bytes> pending_;
    std::uint8_t led_state_ = 0x01;  // red: powered, idle
    std::uint8_t picc_parameters_ = 0xFF;  // poll for every card type
};

}  // namespace vreader

#endif
