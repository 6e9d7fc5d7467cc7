// A FeliCa card (ISO/IEC 18092 passive, 212 and/or 424 kbit/s). Frames to and from
// the card start with their own length byte, which counts itself.
#ifndef VREADER_FELICA_CARD_H
#define VREADER_FELICA_CARD_H

#include "card.h"
#include "response_table.h"

namespace vreader {

struct FeliCaIdentity {
    Bytes idm;                   // 8 bytes
    Bytes pmm;                   // 8 bytes
    Bytes system_code{0x88, 0xB4};
    std::uint8_t mode = 0x00;    // answered to Request Response
    bool answers_at_212 = true;
    bool answers_at_424 = true;
};

class FeliCaCard : public Card {
public:
    FeliCaCard(std::string id, std::chrono::milliseconds answer_delay, FeliCaIdentity identity,
               ResponseTable commands);

    // The answer to a Polling request (00 SC SC RC TSN), or nothing when the system
    // code does not match.
    std::optional<Bytes> polling_response(const Bytes& request) const;

    std::optional<Bytes> target_data(const Activation& activation) const override;
    std::optional<Bytes> answer(const Bytes& frame) override;
    // A FeliCa card needs no selection: every powered card answers the frames of its
    // bit rates (JIS X 6319-4), each command naming the card by its IDm.
    std::optional<Bytes> answer_raw(const Bytes& frame, Modulation modulation) override {
        if (!answers_at(modulation)) return std::nullopt;
        return answer(frame);
    }
    const FeliCaIdentity& identity() const { return identity_; }

private:
    bool answers_at(Modulation modulation) const;
    bool matches_system_code(std::uint8_t high, std::uint8_t low) const;
    std::optional<Bytes> request_response(const Bytes& frame) const;

    FeliCaIdentity identity_;
    ResponseTable commands_;
};

}  // namespace vreader

#endif
