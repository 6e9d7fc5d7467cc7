#include "iso_dep.h"

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

std::optional<Bytes> answer_iso_dep_block(Card& card, const Bytes& frame, IsoDepSupport support) {
    if (frame.empty()) return std::nullopt;
    const std::uint8_t pcb = frame[0];
    const bool is_information = (pcb & kBlockTypeMask) == kIBlock && (pcb & kChaining) == 0;
    const bool is_deselect = (pcb & kDeselectMask) == kDeselect;
    if (!is_information && !is_deselect) return std::nullopt;

    std::size_t header = 1;
    if ((pcb & kCidFollows) != 0) {
        if (!support.cid || frame.size() <= header || (frame[header] & 0x0F) != kOwnCid) {
            return std::nullopt;
        }
        ++header;
    }
    if (is_deselect) {
        if (frame.size() != header) return std::nullopt;
        card.halt();
        return Bytes(frame.begin(), frame.end());
    }
    if ((pcb & kNadFollows) != 0) {
        if (!support.nad || frame.size() <= header) return std::nullopt;
        ++header;
    }
    const auto first_inf = frame.begin() + static_cast<std::ptrdiff_t>(header);
    const auto answer = card.answer(Bytes(first_inf, frame.end()));
    if (!answer) return std::nullopt;
    // The answer echoes the block number, CID and NAD of the block it answers.
    Bytes block{static_cast<std::uint8_t>(kIBlock | (pcb & (kBlockNumber | kCidFollows | kNadFollows)))};
    block.insert(block.end(), frame.begin() + 1, first_inf);
    block.insert(block.end(), answer->begin(), answer->end());
    return block;
}

}  // namespace vreader
