// ISO/IEC 14443-4 blocks as a card in the PROTOCOL state receives them raw (through
// InCommunicateThru): I-blocks carry APDUs, S(DESELECT) halts the card, anything
// else is ignored, as the standard asks of a card that meets an invalid block.
#ifndef VREADER_ISO_DEP_H
#define VREADER_ISO_DEP_H

#include <optional>

#include "model/cards/card.h"

namespace vreader {

// What the card announced it supports (Type A: ATS TC1; Type B: protocol info FO).
struct IsoDepSupport {
    bool cid = true;
    bool nad = false;
};

// The card's raw answer to one block, or nothing when it ignores the block. A block
// with a CID the card does not support or that is not its own (the chip assigns
// CID 0), or with a NAD the card does not support, is ignored (ISO/IEC 14443-4 7.1.1).
std::optional<Bytes> answerIsoDepBlock(Card& card, const Bytes& frame, IsoDepSupport support);

}  // namespace vreader

#endif
