#include "answer_trimming.h"

#include "reader_api.h"
#include "transceive.h"

namespace qvr {
namespace {

constexpr AnswerCut refuse(std::int32_t code) { return {true, code, 0, 0, 0}; }
constexpr AnswerCut deliver(std::size_t front, std::size_t back, std::size_t status) {
    return {false, 0, front, back, status};
}

// Mode 8: the answer is D5, response code, chip data, then the reader's 90 00.
// Short answers (up to 8 bytes) arrive whole, header included, whatever the class.
AnswerCut directCut(std::uint8_t responseClass, std::size_t m) {
    if (m < 2) return refuse(QVR_TRANSPORT_FAILED);
    if (m <= 8) return deliver(0, 2, 2);
    switch (responseClass) {
        case kClassCardData: return deliver(4, 2, 2);
        case kClassCardAnswer: return deliver(3, 2, 2);
        case kClassChipData: return deliver(2, 2, 2);
        default: return refuse(0);
    }
}

// Mode 9: the answer is D5 41, the chip's status byte, the card's answer (data and,
// for an ISO 7816 card, its status word), then the reader's 90 00. Class 11 reports
// the card's status word; class 12 the reader's.
AnswerCut dataExchangeCut(std::uint8_t responseClass, std::size_t m) {
    if (m < 2) return refuse(0);
    const bool shortAnswer = m <= 7;
    switch (responseClass) {
        case kClassCardData: return shortAnswer ? deliver(0, 2, 4) : deliver(3, 4, 4);
        case kClassCardAnswer: return shortAnswer ? deliver(0, 2, 2) : deliver(3, 2, 2);
        default: return refuse(QVR_TRANSPORT_FAILED);
    }
}

}  // namespace

AnswerCut answerCut(std::uint8_t mode, std::uint8_t responseClass, std::size_t answerLength) noexcept {
    return mode == kModeDirect ? directCut(responseClass, answerLength)
                               : dataExchangeCut(responseClass, answerLength);
}

std::int32_t statusFromEnd(const std::uint8_t* answer, std::size_t answerLength,
                           std::size_t fromEnd) noexcept {
    auto byteAt = [&](std::size_t positionFromEnd) -> std::int32_t {
        return positionFromEnd <= answerLength ? answer[answerLength - positionFromEnd] : 0;
    };
    return byteAt(fromEnd) * 256 + byteAt(fromEnd - 1);
}

}  // namespace qvr
