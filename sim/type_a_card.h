// An ISO/IEC 14443 Type A card at 106 kbit/s. With SAK bit 6 set it speaks
// ISO/IEC 14443-4: the chip fetches its ATS on activation and passes APDUs to it.
#ifndef VREADER_TYPE_A_CARD_H
#define VREADER_TYPE_A_CARD_H

#include "card.h"
#include "response_table.h"

namespace vreader {

struct TypeAIdentity {
    Bytes uid;            // NFCID1: 4, 7 or 10 bytes
    Bytes sens_res;       // ATQA, 2 bytes, as the chip reports it
    std::uint8_t sel_res = 0x20;  // SAK
    Bytes ats;            // reported only for an ISO/IEC 14443-4 card
};

class TypeACard : public Card {
public:
    TypeACard(std::string id, std::chrono::milliseconds answer_delay, TypeAIdentity identity,
              ResponseTable apdus);

    // SAK bit 6: the card is ISO/IEC 14443-4 compliant.
    bool speaks_iso14443_4() const { return (identity_.sel_res & 0x20) != 0; }
    const TypeAIdentity& identity() const { return identity_; }

    std::optional<Bytes> target_data(const Activation& activation) const override;
    std::optional<Bytes> answer(const Bytes& frame) override;

private:
    TypeAIdentity identity_;
    ResponseTable apdus_;
};

}  // namespace vreader

#endif
