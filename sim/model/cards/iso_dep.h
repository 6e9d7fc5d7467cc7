// ISO/IEC 14443-4 blocks as a card in the PROTOCOL state receives them raw (through
// InCommunicateThru): I-blocks carry APDUs, R-blocks ask for the last block again or
// for an acknowledgement, S(DESELECT) halts the card, anything else is ignored, as
// the standard asks of a card that meets an invalid block.
#ifndef VREADER_ISO_DEP_H
#define VREADER_ISO_DEP_H

#include <cstdint>
#include <functional>
#include <optional>

#include "model/hex_bytes.h"

namespace vreader {

// What the card announced it supports (Type A: ATS TC1; Type B: protocol info FO).
struct IsoDepSupport {
    bool cid = true;
    bool nad = false;
    // The CID the chip gave the card on activation, besides 0: the PN532 sends CID 0
    // in its RATS and CID 1 in its ATTRIB (a PN532 library addresses a Type B card's
    // presence check to CID 1 for that reason).
    std::uint8_t assignedCid = 0;
};

// The card's answer to one raw block: the block it sends back (nothing when it
// ignores the block), and whether the block was S(DESELECT).
struct BlockReply {
    std::optional<Bytes> block;
    bool deselected = false;
};

// The card's side of the block protocol: its block number and the last block it
// sent, which an R-block can ask for again.
class IsoDepBlocks {
public:
    // The application's answer to an APDU; nothing when the card stays silent.
    using ApduAnswer = std::function<std::optional<Bytes>(const Bytes&)>;

    // Entering the protocol (ATS or ATTRIB answer sent): block number 1, nothing sent
    // yet (ISO/IEC 14443-4 7.5.3.2, rule C).
    void start();
    // The chip sent an APDU in an I-block of its own and the card answered it.
    void carried(const Bytes& answer);
    // One raw block. A block with a CID the card does not support or that is neither
    // 0 nor the one the chip assigned, or with a NAD the card does not support, is
    // ignored (7.1.1).
    BlockReply receive(const Bytes& frame, IsoDepSupport support, const ApduAnswer& apdu);

private:
    std::optional<Bytes> answerInformation(const Bytes& frame, std::size_t header, IsoDepSupport support,
                                           const ApduAnswer& apdu);
    std::optional<Bytes> answerReceiveReady(const Bytes& frame, std::size_t header);

    std::uint8_t number_ = 1;
    std::optional<Bytes> last_;
};

}  // namespace vreader

#endif
