#include "answer_trimming.h"

#include <array>
#include <limits>

#include "reader_api.h"
#include "transceive.h"

namespace qvr {
namespace {

constexpr AnswerCut refuse(std::int32_t code) { return {true, code, 0, 0, 0}; }
constexpr AnswerCut deliver(std::size_t front, std::size_t back, std::size_t status) {
    return {false, 0, front, back, status};
}

constexpr std::uint8_t kAnyClass = 0;
constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

struct TrimRow {
    std::uint8_t mode;
    std::uint8_t responseClass;  // kAnyClass: every class
    std::size_t shortest;        // answer lengths the row covers
    std::size_t longest;
    AnswerCut cut;
};

// Mode 8: the answer is D5, response code, chip data, then the reader's 90 00.
// Short answers (up to 8 bytes) arrive whole, header included, whatever the class.
// Mode 9: the answer is D5 41, the chip's status byte, the card's answer (data and,
// for an ISO 7816 card, its status word), then the reader's 90 00; short answers
// (up to 7 bytes) arrive whole. Class 11 reports the card's status word; class 12
// the reader's. Rows of one mode and class cover disjoint lengths; a kAnyClass row
// catches what the rows before it leave of its mode. Unrolled, a row costs a compare
// or two, so the commonest answers come first and the refusals last.
constexpr std::array kTrimTable{
    TrimRow{kModeDataExchange, kClassCardAnswer, 8, kNoLimit, deliver(3, 2, 2)},
    TrimRow{kModeDirect, kAnyClass, 2, 8, deliver(0, 2, 2)},
    TrimRow{kModeDataExchange, kClassCardData, 8, kNoLimit, deliver(3, 4, 4)},
    TrimRow{kModeDirect, kClassCardAnswer, 9, kNoLimit, deliver(3, 2, 2)},
    TrimRow{kModeDirect, kClassChipData, 9, kNoLimit, deliver(2, 2, 2)},
    TrimRow{kModeDirect, kClassCardData, 9, kNoLimit, deliver(4, 2, 2)},
    TrimRow{kModeDataExchange, kClassCardAnswer, 2, 7, deliver(0, 2, 2)},
    TrimRow{kModeDataExchange, kClassCardData, 2, 7, deliver(0, 2, 4)},
    TrimRow{kModeDirect, kAnyClass, 9, kNoLimit, refuse(0)},
    TrimRow{kModeDirect, kAnyClass, 0, 1, refuse(QVR_TRANSPORT_FAILED)},
    TrimRow{kModeDataExchange, kAnyClass, 2, kNoLimit, refuse(QVR_TRANSPORT_FAILED)},
    TrimRow{kModeDataExchange, kAnyClass, 0, 1, refuse(0)},
};

// No row: a mode the engine fetches nothing for.
constexpr AnswerCut kNoRow = refuse(QVR_TRANSPORT_FAILED);

}  // namespace

const AnswerCut& answerCut(std::uint8_t mode, std::uint8_t responseClass,
                           std::size_t answerLength) noexcept {
#pragma GCC unroll 16
    for (const TrimRow& row : kTrimTable) {
        if (row.mode == mode && (row.responseClass == kAnyClass || row.responseClass == responseClass) &&
            answerLength >= row.shortest && answerLength <= row.longest)
            return row.cut;
    }
    return kNoRow;
}

std::int32_t statusFromEnd(const std::uint8_t* answer, std::size_t answerLength,
                           std::size_t fromEnd) noexcept {
    auto byteAt = [&](std::size_t positionFromEnd) -> std::int32_t {
        return positionFromEnd <= answerLength ? answer[answerLength - positionFromEnd] : 0;
    };
    return byteAt(fromEnd) * 256 + byteAt(fromEnd - 1);
}

}  // namespace qvr
