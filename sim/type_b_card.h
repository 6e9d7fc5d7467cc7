// An ISO/IEC 14443 Type B card at 106 kbit/s with an ISO 7816 application.
#ifndef VREADER_TYPE_B_CARD_H
#define VREADER_TYPE_B_CARD_H

#include "card.h"
#include "response_table.h"

namespace vreader {

struct TypeBIdentity {
    Bytes pupi;              // 4 bytes
    Bytes application_data;  // 4 bytes; the first is the card's AFI
    Bytes protocol_info;     // 3 bytes
    Bytes attrib_response;   // the card's answer to ATTRIB
};

class TypeBCard : public Card {
public:
    TypeBCard(std::string id, std::chrono::milliseconds answer_delay, TypeBIdentity identity,
              ResponseTable apdus);

    // ATQB: 50, PUPI, application data, protocol info (12 bytes).
    Bytes atqb() const;

    std::optional<Bytes> target_data(const Activation& activation) const override;
    std::optional<Bytes> answer(const Bytes& frame) override;

private:
    bool answers_afi(const Bytes& initiator_data) const;

    TypeBIdentity identity_;
    ResponseTable apdus_;
};

}  // namespace vreader

#endif
