// The reader's one card slot as any host interface sees it: whether a card is there
// and powered, its ATR, power on and off, a command APDU to the card, an escape
// command to the reader, and how often the card changed. The USB face (CCID) puts
// this on the wire; the slot itself knows nothing of the transport.
#ifndef VREADER_SLOT_SERVICE_H
#define VREADER_SLOT_SERVICE_H

#include <cstdint>
#include <optional>

#include "model/acr122u_reader.h"
#include "model/faults.h"
#include "model/field.h"
#include "model/handler_stats.h"
#include "model/hex_bytes.h"
#include "model/reader_clock.h"

namespace vreader {

// Always: the slot always holds a card (the reader's pseudo-card). WhileTagInField:
// the slot holds a card only while the reader has activated a tag, as the ACR122U does.
enum class Presence { Always, WhileTagInField };

// The ATR of the slot while presence is "always" and the reader has activated no
// card: no historical bytes, T=0 and T=1 offered (TD1 = 80, TD2 = 01), TCK.
inline const Bytes kNoCardAtr{0x3B, 0x80, 0x80, 0x01, 0x01};

struct SlotView {
    bool present = false;
    bool powered = false;
    // Changes whenever a different card (or none) takes the slot.
    std::uint32_t cardNumber = 0;
    Bytes atr;
};

class SlotService {
public:
    SlotService(Acr122uReader& reader, const Pn532Chip& chip, const Field& field, const Faults& faults,
                ReaderClock& clock, HandlerStats& stats, Presence presence);

    SlotView view() const;
    // The ATR, and the card powered; nothing without a card. A card in the slot always
    // answers: the ATR is the reader's, built when it activated the tag.
    std::optional<Bytes> powerOn();
    void powerOff();
    // The card's answer to one command APDU, whole (chip answers with 90 00); nothing
    // when the slot holds no card.
    std::optional<Bytes> transmit(const Bytes& apdu);
    // A command to the reader itself (the ACR122U's pseudo-APDUs), card or no card.
    Bytes escape(const Bytes& command);

    // Runs the reader firmware's polling after the field changed or a command ran,
    // and counts a new card whenever the slot's card changed.
    void afterChange();

private:
    Bytes runCommand(const Bytes& command);
    bool hostCyclesFieldUnder(const Card* card) const;

    Acr122uReader& reader_;
    const Pn532Chip& chip_;
    const Field& field_;
    const Faults& faults_;
    ReaderClock& clock_;
    HandlerStats& stats_;
    const Presence presence_;
    std::optional<Bytes> activatedAtr_;
    const Card* activatedCard_ = nullptr;
    std::uint32_t cardNumber_ = 0;
    std::uint32_t poweredCard_ = 0;
    bool powered_ = false;
};

}  // namespace vreader

#endif
