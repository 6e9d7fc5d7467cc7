// A contactless card as the PN532 meets it: it answers an activation in one
// modulation with its target data, and then answers frames sent to it, as far as
// its ISO/IEC 14443-3 state lets it.
#ifndef VREADER_CARD_H
#define VREADER_CARD_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "model/cards/iso_dep.h"
#include "model/hex_bytes.h"

namespace vreader {

// The modulations and bit rates the chip can poll with and frame raw data in.
enum class Modulation { TypeA106, TypeB106, FeliCa212, FeliCa424 };

// One activation attempt by the chip.
struct Activation {
    Modulation modulation = Modulation::TypeA106;
    // Type A: the UID to select, cascaded as the chip sends it (4 bytes; 88 and 7
    // bytes; 88, 3 bytes, 88 and 7 bytes), empty for any card; Type B: AFI;
    // FeliCa: the Polling request (00 SC SC RC TSN).
    Bytes initiatorData;
    // The chip asks for ISO/IEC 14443-4 compliance (SAK bit 6) before it reports a
    // Type A card (InAutoPoll type 0x20).
    bool iso14443_4Only = false;
    // The chip sends RATS to a Type A card that speaks ISO/IEC 14443-4 (SetParameters'
    // fAutomaticRATS); without it the card stays at ISO/IEC 14443-3 and no ATS is reported.
    bool rats = true;
};

// ISO/IEC 14443-3 card states as far as the chip can tell them apart. Idle also
// stands for HALT and READY: a card there answers no data frame.
// A Type A card without ISO/IEC 14443-4 acknowledges with a 4-bit frame: ACK 0A,
// any other value a NAK. The models carry it as one byte, the four bits low.
inline constexpr std::uint8_t kFourBitAck = 0x0A;
inline bool isFourBitAnswer(const Bytes& answer) { return answer.size() == 1 && answer[0] <= 0x0F; }

enum class CardState {
    Idle,      // powered, not selected
    Active,    // selected at ISO/IEC 14443-3 (or a FeliCa card that has answered Polling)
    Protocol,  // ISO/IEC 14443-4 entered (RATS answered, or ATTRIB for Type B)
};

class Card {
public:
    Card(std::string id, std::chrono::milliseconds answerDelay)
        : id_(std::move(id)), answerDelay_(answerDelay) {}
    virtual ~Card() = default;
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    const std::string& id() const { return id_; }
    // How long the card takes to answer a frame (0: at once).
    std::chrono::milliseconds answerDelay() const { return answerDelay_; }

    // The target data the chip reports after activating the card (without the
    // chip's target number), or nothing when the card does not answer this activation.
    virtual std::optional<Bytes> targetData(const Activation& activation) const = 0;

    // The card's application answer: an APDU's answer for an ISO/IEC 14443-4 card
    // (the chip carries it in ISO-DEP blocks), a command's answer for the others;
    // nothing when it stays silent (the chip then reports a timeout).
    virtual std::optional<Bytes> answer(const Bytes& frame) = 0;

    // An APDU the chip carries to a card in the PROTOCOL state in an I-block of its
    // own (InDataExchange): the card's answer, and its block number moves on as for
    // any I-block, so that a raw R-block sent afterwards finds it where the chip left it.
    std::optional<Bytes> exchangeApdu(const Bytes& apdu);

    // A frame as it travels on the air in the given modulation (the chip's CRC
    // already checked and removed): the card's raw answer, or nothing when the card
    // does not speak that frame in its present state.
    virtual std::optional<Bytes> answerRaw(const Bytes& frame, Modulation modulation) = 0;

    // MIFARE Classic authentication as the PN532 runs it for the host (InDataExchange
    // 60|61 block key(6) UID(4)): the chip speaks the card's cipher, the model checks
    // the key. Nothing when the card knows no such authentication; false when it
    // refused (the card then halts).
    virtual std::optional<bool> authenticate(std::uint8_t /*command*/, std::uint8_t /*block*/,
                                             const Bytes& /*key*/, const Bytes& /*uid*/) {
        return std::nullopt;
    }

    // Whether the card speaks ISO/IEC 14443-4 once activated.
    virtual bool speaksIsoDep() const { return false; }
    // ISO/IEC 14443-4 frame waiting time integer (FWI) of the card.
    virtual std::uint8_t frameWaitingInteger() const { return 4; }

    // Activation by the chip: the target data, and the card enters the state that
    // activation leaves it in.
    std::optional<Bytes> activate(const Activation& activation);

    CardState state() const { return state_; }
    // Counts how often the card lost its power (it left the field, or the field went
    // off): an activation holds only for the power session it happened in.
    std::uint32_t powerSession() const { return powerSession_; }
    // Losing the field's power resets the card to idle (ISO/IEC 14443-3 POWER-OFF).
    void powerOff();
    // HLTA or S(DESELECT): the card stays powered but answers no data frame.
    void halt() { state_ = CardState::Idle; }

protected:
    // The state an accepted activation leaves the card in.
    virtual CardState stateAfter(const Activation& activation) const;
    void enter(CardState state);
    // A raw block to a card in the PROTOCOL state; S(DESELECT) halts it.
    std::optional<Bytes> answerBlock(const Bytes& frame, IsoDepSupport support);

private:
    std::string id_;
    std::chrono::milliseconds answerDelay_;
    CardState state_ = CardState::Idle;
    std::uint32_t powerSession_ = 0;
    IsoDepBlocks isoDep_;
};

}  // namespace vreader

#endif
