// An ISO/IEC 14443 Type A card at 106 kbit/s. With SAK bit 6 set it speaks
// ISO/IEC 14443-4: after RATS (sent by the chip itself, or raw by the host) it
// answers APDUs in ISO-DEP blocks.
#ifndef VREADER_TYPE_A_CARD_H
#define VREADER_TYPE_A_CARD_H

#include "card.h"
#include "iso_dep.h"
#include "response_table.h"

namespace vreader {

struct TypeAIdentity {
    Bytes uid;            // NFCID1: 4, 7 or 10 bytes
    Bytes sens_res;       // ATQA, 2 bytes, as the chip reports it
    std::uint8_t sel_res = 0x20;  // SAK
    Bytes ats;            // reported only for an ISO/IEC 14443-4 card
};

// The UID as the chip's initiator data names it: with the cascade tag 88 before each
// cascade level but the last (ISO/IEC 14443-3 6.5.4).
Bytes cascaded_uid(const Bytes& uid);

class TypeACard : public Card {
public:
    TypeACard(std::string id, std::chrono::milliseconds answer_delay, TypeAIdentity identity,
              ResponseTable apdus);

    // SAK bit 6: the card is ISO/IEC 14443-4 compliant.
    bool speaks_iso14443_4() const { return (identity_.sel_res & 0x20) != 0; }
    const TypeAIdentity& identity() const { return identity_; }
    // The ATS's historical bytes (after TL, T0 and the interface bytes T0 announces).
    Bytes historical_bytes() const;

    std::optional<Bytes> target_data(const Activation& activation) const override;
    std::optional<Bytes> answer(const Bytes& frame) override;
    std::optional<Bytes> answer_raw(const Bytes& frame, Modulation modulation) override;
    bool speaks_iso_dep() const override { return speaks_iso14443_4(); }
    std::uint8_t frame_waiting_integer() const override;

protected:
    CardState state_after(const Activation& activation) const override;
    // A raw frame to the selected card before ISO/IEC 14443-4: RATS only.
    virtual std::optional<Bytes> answer_selected(const Bytes& frame);

private:
    // The interface byte of the ATS at the T0 bit given (TA1 0x10, TB1 0x20, TC1 0x40).
    std::optional<std::uint8_t> ats_interface_byte(std::uint8_t presence_bit) const;
    IsoDepSupport iso_dep_support() const;

    TypeAIdentity identity_;
    ResponseTable apdus_;
};

}  // namespace vreader

#endif
