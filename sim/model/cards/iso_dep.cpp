#include "model/cards/iso_dep.h"

namespace vreader {

namespace {

// PCB layouts (ISO/IEC 14443-4 7.1.1.1): I-block 000C CN1b (C chaining, C/N CID and
// NAD following), R-block 101A C01b (A set: NAK), S(DESELECT) 1100 C010.
constexpr std::uint8_t kBlockTypeMask = 0xE2;
constexpr std::uint8_t kIBlock = 0x02;
constexpr std::uint8_t kRBlockMask = 0xE6;
constexpr std::uint8_t kRBlock = 0xA2;
constexpr std::uint8_t kNak = 0x10;
constexpr std::uint8_t kChaining = 0x10;
constexpr std::uint8_t kCidFollows = 0x08;
constexpr std::uint8_t kNadFollows = 0x04;
constexpr std::uint8_t kBlockNumber = 0x01;
constexpr std::uint8_t kDeselectMask = 0xF7;
constexpr std::uint8_t kDeselect = 0xC2;
constexpr std::uint8_t kCidZero = 0x00;

}  // namespace

void IsoDepBlocks::start() {
    number_ = 1;
    last_.reset();
}

// The chip keeps the block rules with the card: its I-block carried the block number
// the card's own number toggles to (rule D), and the card answered in kind.
void IsoDepBlocks::carried(const Bytes& answer) {
    number_ ^= kBlockNumber;
    last_ = join({Bytes{static_cast<std::uint8_t>(kIBlock | number_)}, answer});
}

BlockReply IsoDepBlocks::receive(const Bytes& frame, IsoDepSupport support, const ApduAnswer& apdu) {
    if (frame.empty()) return {};
    const std::uint8_t pcb = frame[0];
    const bool isInformation = (pcb & kBlockTypeMask) == kIBlock && (pcb & kChaining) == 0;
    const bool isReceiveReady = (pcb & kRBlockMask) == kRBlock;
    const bool isDeselect = (pcb & kDeselectMask) == kDeselect;
    if (!isInformation && !isReceiveReady && !isDeselect) return {};

    std::size_t header = 1;
    if ((pcb & kCidFollows) != 0) {
        if (!support.cid || frame.size() <= header) return {};
        const std::uint8_t cid = frame[header] & 0x0F;
        if (cid != kCidZero && cid != support.assignedCid) return {};
        ++header;
    }
    if (isDeselect) {
        if (frame.size() != header) return {};
        return {Bytes(frame.begin(), frame.end()), true};
    }
    if (isReceiveReady) return {answerReceiveReady(frame, header), false};
    return {answerInformation(frame, header, support, apdu), false};
}

// An I-block: the card takes the block number the reader sent, which is its own
// toggled when the reader keeps rule B, answers with it, and echoes CID and NAD.
std::optional<Bytes> IsoDepBlocks::answerInformation(const Bytes& frame, std::size_t header, IsoDepSupport support,
                                                     const ApduAnswer& apdu) {
    const std::uint8_t pcb = frame[0];
    if ((pcb & kNadFollows) != 0) {
        if (!support.nad || frame.size() <= header) return std::nullopt;
        ++header;
    }
    const auto firstInf = frame.begin() + static_cast<std::ptrdiff_t>(header);
    const auto answer = apdu(Bytes(firstInf, frame.end()));
    if (!answer) return std::nullopt;
    number_ = pcb & kBlockNumber;
    last_ = join({Bytes{static_cast<std::uint8_t>(kIBlock | (pcb & (kBlockNumber | kCidFollows | kNadFollows)))},
                  Bytes(frame.begin() + 1, firstInf), *answer});
    return last_;
}

// An R-block (7.5.4.2): with the card's own block number it asks for the last block
// again (rule 11); an R(NAK) with the other number is a reader asking whether the
// card is still there, answered with R(ACK) and the card's number (rule 12). An
// R(ACK) with the other number would continue a chain; the card sends none, so it
// ignores that, as it ignores a block it has no answer for.
std::optional<Bytes> IsoDepBlocks::answerReceiveReady(const Bytes& frame, std::size_t header) {
    const std::uint8_t pcb = frame[0];
    if (frame.size() != header) return std::nullopt;
    if ((pcb & kBlockNumber) == number_) return last_;
    if ((pcb & kNak) == 0) return std::nullopt;
    return join({Bytes{static_cast<std::uint8_t>(kRBlock | (pcb & kCidFollows) | number_)},
                 Bytes(frame.begin() + 1, frame.end())});
}

}  // namespace vreader
