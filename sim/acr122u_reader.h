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

    // The reader's answer to one command APDU.
    Bytes transmit(const Bytes& apdu);

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
