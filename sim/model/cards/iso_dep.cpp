#include "model/cards/iso_dep.h"

namespace vreader {

namespace {

// PCB layouts (ISO/IEC 14443-4 7.1.1.1): I-block 000C CN1b (C chaining, C/N CID and
// NAD following), S(DESELECT) 1100 C010.
constexpr std::uint8_t kBlockTypeMask = 0xE2;
constexpr std::uint8_t kIBlock = 0x02;
constexpr std::uint8_t kChaining = 0x10;
constexpr std::uint8_t kCidFollows = 0x08;
constexpr std::uint8_t kNadFollows = 0x04;
constexpr std::uint8_t kBlockNumber = 0x01;
constexpr std::uint8_t kDeselectMask = 0xF7;
constexpr std::uint8_t kDeselect = 0xC2;
constexpr std::uint8_t kOwnCid = 0x00;

}  // namespace

std::optional<Bytes> answerIsoDepBlock(Card& card, const Bytes& frame, IsoDepSupport support) {
    if (frame.empty()) return std::nullopt;
    const std::uint8_t pcb = frame[0];
    const bool isInformation = (pcb & kBlockTypeMask) == kIBlock && (pcb & kChaining) == 0;
    const bool isDeselect = (pcb & kDeselectMask) == kDeselect;
    if (!isInformation && !isDeselect) return std::nullopt;

    std::size_t header = 1;
    if ((pcb & kCidFollows) != 0) {
        if (!support.cid || frame.size() <= header || (frame[header] & 0x0F) != kOwnCid) {
            return std::nullopt;
        }
        ++header;
    }
    if (isDeselect) {
        if (frame.size() != header) return std::nullopt;
        card.halt();
        return Bytes(frame.begin(), frame.end());
    }
    if ((pcb & kNadFollows) != 0) {
        if (!support.nad || frame.size() <= header) return std::nullopt;
        ++header;
    }
    const auto firstInf = frame.begin() + static_cast<std::ptrdiff_t>(header);
    const auto answer = card.answer(Bytes(firstInf, frame.end()));
    if (!answer) return std::nullopt;
    // The answer echoes the block number, CID and NAD of the block it answers.
    Bytes block{static_cast<std::uint8_t>(kIBlock | (pcb & (kBlockNumber | kCidFollows | kNadFollows)))};
    block.insert(block.end(), frame.begin() + 1, firstInf);
    block.insert(block.end(), answer->begin(), answer->end());
    return block;
}

}  // namespace vreader
