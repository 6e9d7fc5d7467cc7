// A contactless card as the PN532 meets it: it answers an activation in one
// modulation with its target data, and then answers frames sent to it.
#ifndef VREADER_CARD_H
#define VREADER_CARD_H

#include <chrono>
#include <optional>
#include <string>

#include "hex_bytes.h"

namespace vreader {

// The modulations and bit rates the chip can poll with.
enum class Modulation { TypeA106, TypeB106, FeliCa212, FeliCa424 };

// One activation attempt by the chip.
struct Activation {
    Modulation modulation = Modulation::TypeA106;
    // Type A: a UID to select (empty: any card); Type B: AFI; FeliCa: the Polling
    // request (00 SC SC RC TSN).
    Bytes initiator_data;
    // The chip asks for ISO/IEC 14443-4 compliance (SAK bit 6) before it reports a
    // Type A card (InAutoPoll type 0x20).
    bool iso14443_4_only = false;
};

class Card {
public:
    Card(std::string id, std::chrono::milliseconds answer_delay)
        : id_(std::move(id)), answer_delay_(answer_delay) {}
    virtual ~Card() = default;
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    const std::string& id() const { return id_; }
    // How long the card takes to answer a frame (0: at once).
    std::chrono::milliseconds answer_delay() const { return answer_delay_; }

    // The target data the chip reports after activating the card (without the
    // chip's target number), or nothing when the card does not answer this activation.
    virtual std::optional<Bytes> target_data(const Activation& activation) const = 0;

    // The card's answer to a frame, or nothing when it stays silent (the chip then
    // reports a timeout).
    virtual std::optional<Bytes> answer(const Bytes& frame) = 0;

private:
    std::string id_;
    std::chrono::milliseconds answer_delay_;
};

}  // namespace vreader

#endif
