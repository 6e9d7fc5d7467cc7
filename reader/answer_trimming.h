// Which part of a GET RESPONSE answer reaches the caller, and which two bytes form
// the status. The engine never checks the PN532 header bytes (D5, response code,
// status byte); it drops them by position, by this one table.
#ifndef QVR_ACR122_ANSWER_TRIMMING_H
#define QVR_ACR122_ANSWER_TRIMMING_H

#include <cstddef>
#include <cstdint>

namespace qvr {

struct AnswerCut {
    bool refused;               // nothing delivered, result is refusalCode
    std::int32_t refusalCode;
    std::size_t dropFront;      // leading bytes not delivered
    std::size_t dropBack;       // trailing bytes not delivered
    std::size_t statusFromEnd;  // the status is the two bytes at m-statusFromEnd, m-statusFromEnd+1
};

// The cut for an answer of answerLength bytes fetched in mode 8 or 9: the first row
// of the table that matches the mode, the class and the length.
const AnswerCut& answerCut(std::uint8_t mode, std::uint8_t responseClass,
                           std::size_t answerLength) noexcept;

// The status word made of the two bytes at answer[m - fromEnd] and the next one.
// Positions that lie before the answer count as 0.
std::int32_t statusFromEnd(const std::uint8_t* answer, std::size_t answerLength,
                           std::size_t fromEnd) noexcept;

}  // namespace qvr

#endif
