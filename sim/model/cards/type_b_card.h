// An ISO/IEC 14443 Type B card at 106 kbit/s with an ISO 7816 application. The
// chip's activation (REQB and ATTRIB) takes it straight to ISO/IEC 14443-4.
#ifndef VREADER_TYPE_B_CARD_H
#define VREADER_TYPE_B_CARD_H

#include "model/cards/card.h"
#include "model/cards/iso_dep.h"
#include "model/cards/response_table.h"

namespace vreader {

struct TypeBIdentity {
    Bytes pupi;              // 4 bytes
    Bytes applicationData;  // 4 bytes; the first is the card's AFI
    Bytes protocolInfo;     // 3 bytes
    Bytes attribResponse;   // the card's answer to ATTRIB
};

class TypeBCard : public Card {
public:
    TypeBCard(std::string id, std::chrono::milliseconds answerDelay, TypeBIdentity identity,
              ResponseTable apdus);

    // ATQB: 50, PUPI, application data, protocol info (12 bytes).
    Bytes atqb() const;
    const TypeBIdentity& identity() const { return identity_; }

    std::optional<Bytes> targetData(const Activation& activation) const override;
    std::optional<Bytes> answer(const Bytes& frame) override;
    std::optional<Bytes> answerRaw(const Bytes& frame, Modulation modulation) override;
    bool speaksIsoDep() const override { return true; }
    std::uint8_t frameWaitingInteger() const override;

protected:
    CardState stateAfter(const Activation&) const override { return CardState::Protocol; }

private:
    bool answersAfi(const Bytes& initiatorData) const;

    TypeBIdentity identity_;
    ResponseTable apdus_;
};

}  // namespace vreader

#endif
