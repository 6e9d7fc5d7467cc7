// A FeliCa card (ISO/IEC 18092 passive, 212 and/or 424 kbit/s). Frames to and from
// the card start with their own length byte, which counts itself.
#ifndef VREADER_FELICA_CARD_H
#define VREADER_FELICA_CARD_H

#include "model/cards/card.h"
#include "model/cards/response_table.h"

namespace vreader {

struct FeliCaIdentity {
    Bytes idm;                   // 8 bytes
    Bytes pmm;                   // 8 bytes
    Bytes systemCode{0x88, 0xB4};
    std::uint8_t mode = 0x00;    // answered to Request Response
    bool answersAt212 = true;
    bool answersAt424 = true;
};

class FeliCaCard : public Card {
public:
    FeliCaCard(std::string id, std::chrono::milliseconds answerDelay, FeliCaIdentity identity,
               ResponseTable commands);

    // The answer to a Polling request (00 SC SC RC TSN), or nothing when the system
    // code does not match.
    std::optional<Bytes> pollingResponse(const Bytes& request) const;

    std::optional<Bytes> targetData(const Activation& activation) const override;
    std::optional<Bytes> answer(const Bytes& frame) override;
    // A FeliCa card needs no selection: every powered card answers the frames of its
    // bit rates (JIS X 6319-4), each command naming the card by its IDm.
    std::optional<Bytes> answerRaw(const Bytes& frame, Modulation modulation) override {
        if (!answersAt(modulation)) return std::nullopt;
        return answer(frame);
    }
    const FeliCaIdentity& identity() const { return identity_; }

private:
    bool answersAt(Modulation modulation) const;
    bool matchesSystemCode(std::uint8_t high, std::uint8_t low) const;
    std::optional<Bytes> requestResponse(const Bytes& frame) const;

    FeliCaIdentity identity_;
    ResponseTable commands_;
};

}  // namespace vreader

#endif
