// An ISO/IEC 14443 Type A card at 106 kbit/s. With SAK bit 6 set it speaks
// ISO/IEC 14443-4: after RATS (sent by the chip itself, or raw by the host) it
// answers APDUs in ISO-DEP blocks.
#ifndef VREADER_TYPE_A_CARD_H
#define VREADER_TYPE_A_CARD_H

#include "model/cards/card.h"
#include "model/cards/iso_dep.h"
#include "model/cards/response_table.h"

namespace vreader {

struct TypeAIdentity {
    Bytes uid;            // NFCID1: 4, 7 or 10 bytes
    Bytes sensRes;       // ATQA, 2 bytes, as the chip reports it
    std::uint8_t selRes = 0x20;  // SAK
    Bytes ats;            // reported only for an ISO/IEC 14443-4 card
};

// The UID as the chip's initiator data names it: with the cascade tag 88 before each
// cascade level but the last (ISO/IEC 14443-3 6.5.4).
Bytes cascadedUid(const Bytes& uid);

class TypeACard : public Card {
public:
    TypeACard(std::string id, std::chrono::milliseconds answerDelay, TypeAIdentity identity,
              ResponseTable apdus);

    // SAK bit 6: the card is ISO/IEC 14443-4 compliant.
    bool speaksIso14443_4() const { return (identity_.selRes & 0x20) != 0; }
    const TypeAIdentity& identity() const { return identity_; }
    // The ATS's historical bytes (after TL, T0 and the interface bytes T0 announces).
    Bytes historicalBytes() const;

    std::optional<Bytes> targetData(const Activation& activation) const override;
    std::optional<Bytes> answer(const Bytes& frame) override;
    std::optional<Bytes> answerRaw(const Bytes& frame, Modulation modulation) override;
    bool speaksIsoDep() const override { return speaksIso14443_4(); }
    std::uint8_t frameWaitingInteger() const override;

protected:
    CardState stateAfter(const Activation& activation) const override;
    // A raw frame to the selected card before ISO/IEC 14443-4: RATS only.
    virtual std::optional<Bytes> answerSelected(const Bytes& frame);

private:
    // The interface byte of the ATS at the T0 bit given (TA1 0x10, TB1 0x20, TC1 0x40).
    std::optional<std::uint8_t> atsInterfaceByte(std::uint8_t presenceBit) const;
    IsoDepSupport isoDepSupport() const;

    TypeAIdentity identity_;
    ResponseTable apdus_;
};

}  // namespace vreader

#endif
