// The ACR122U's own layer: the pseudo-APDUs with class FF that reach the reader
// through PC/SC, APDUs of other classes passed on to an ISO/IEC 14443-4 card, and
// the reader firmware's own polling of the field. A PN532 command travels in a
// direct transmit; under T=0 the reader announces the chip's answer with 61 Le and
// holds it until GET RESPONSE fetches it.
#ifndef VREADER_ACR122U_READER_H
#define VREADER_ACR122U_READER_H

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/hex_bytes.h"
#include "model/chip/pn532_chip.h"

namespace vreader {

class MifareClassicCard;
class Type2Tag;

class Acr122uReader {
public:
    // Powering up, the firmware sets the chip to one passive activation attempt.
    explicit Acr122uReader(Pn532Chip& chip);

    // The reader's answer to one command APDU under T=0: a chip answer is announced
    // with 61 Le and fetched with GET RESPONSE.
    Bytes transmit(const Bytes& apdu);
    // The same command answered in one piece, as the reader answers over the CCID
    // escape channel and under T=1: a chip answer comes back whole with 90 00.
    Bytes exchangeWhole(const Bytes& apdu);

    // The reader firmware's own polling of the field, run after the field changed:
    // it activates a card it finds (when the PICC parameters let it) and forgets one
    // that has left.
    void pollField();
    // The PC/SC pseudo-ATR of the card the reader has found and activated by itself;
    // nothing while it has none (PC/SC then sees no card).
    std::optional<Bytes> cardAtr() const { return ownCard_ ? ownAtr_ : std::nullopt; }
    // The card the reader activated by itself, if any.
    const Card* card() const { return ownCard_; }

    // Power off or reset of the pseudo-card: an answer not yet fetched is lost.
    void dropPending() { pending_.reset(); }
    bool hasPending() const { return pending_.has_value(); }
    // Bit 0 red, bit 1 green.
    std::uint8_t ledState() const { return ledState_; }

private:
    Bytes pseudoCommand(const Bytes& apdu);
    Bytes directTransmit(const Bytes& chipFrame);
    Bytes getResponse(const Bytes& apdu);
    Bytes ledAndBuzzer(const Bytes& apdu);
    Bytes getData(const Bytes& apdu);
    Bytes transparentExchange(const Bytes& apdu);
    Bytes isoDepExchange(const Bytes& apdu);
    Bytes feliCaExchange(const Bytes& frame);
    std::optional<Bytes> askChip(const Bytes& frame);
    std::vector<Activation> polledTypes() const;

    // Storage-card commands (acr122u_storage.cpp).
    Bytes storageCommand(const Bytes& apdu);
    Bytes loadKey(const Bytes& apdu);
    Bytes authenticateBlock(const Bytes& apdu);
    Bytes authenticateBlockObsolete(const Bytes& apdu);
    Bytes authenticateWith(std::uint8_t block, std::uint8_t keyType, std::uint8_t slot);
    Bytes readBinary(const Bytes& apdu);
    Bytes updateBinary(const Bytes& apdu);
    Bytes valueBlockOperation(const Bytes& apdu);
    Bytes readValueBlock(const Bytes& apdu);
    std::optional<Bytes> exchangeWithCard(const Bytes& data);
    MifareClassicCard* classicCard() const;
    Type2Tag* type2Tag() const;

    bool ownCardGone() const;

    Pn532Chip& chip_;
    // The chip's answer followed by 90 00, waiting for GET RESPONSE.
    std::optional<Bytes> pending_;
    std::uint8_t ledState_ = 0x01;  // red: powered, idle
    std::uint8_t piccParameters_ = 0xFF;  // poll for every card type
    // FF 00 41: how long the reader waits for the chip (00 and FF: as long as it takes).
    std::uint8_t timeoutParameter_ = 0xFF;
    // The card the reader activated by itself, the power session it did so in, and
    // the pseudo-ATR built then.
    Card* ownCard_ = nullptr;
    std::uint32_t ownSession_ = 0;
    std::optional<Bytes> ownAtr_;
    // FF 82: the two key slots in the reader's volatile memory.
    std::array<std::optional<Bytes>, 2> keys_;
};

}  // namespace vreader

#endif
