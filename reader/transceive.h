// The transceive engine: the only road from the library to the reader.
//
// Under T=0 the ACR122U answers a command that has response data with the two
// bytes 61 Le; the data itself is fetched with GET RESPONSE. Both operations here are
// built around that two-step exchange. Under T=1 (the only protocol Linux's CCID
// driver offers for this reader) the reader answers in one piece, and on a direct
// connection (no card in the field) the same bytes go through the CCID escape, also
// answered in one piece. Such a whole answer is trimmed exactly as a GET RESPONSE
// answer of its length and a bare two-byte answer is a direct answer; under T=1 a
// 61 Le is still fetched. So every caller gets the same result from any connection
// for the same reader answer.
#ifndef QVR_ACR122_TRANSCEIVE_H
#define QVR_ACR122_TRANSCEIVE_H

#include <cstdint>

#include "reader_api.h"
#include "work_record.h"

namespace qvr {

// Pseudo-APDU that carries the command data.
enum Mode : std::uint8_t {
    kModeLedBuzzer = 2,      // FF 00 40 50 Lc data: LED and buzzer control
    kModeDirect = 8,         // FF 00 00 00 Lc data: data is a complete PN532 command
    kModeDataExchange = 9,   // FF 00 00 00 Lc D4 40 01 data: data goes to the card (target 1)
};

// Which bytes of the reader's answer reach the caller (see answer_trimming.h).
enum ResponseClass : std::uint8_t {
    // oSendTo's exchange types 11 and 12 are these classes.
    kClassCardData = QVR_EXCHANGE_CARD_DATA,      // mode 8: drop 4 leading bytes; mode 9: card data, card status
    kClassCardAnswer = QVR_EXCHANGE_CARD_ANSWER,  // mode 8: drop 3 leading bytes; mode 9: card answer, reader status
    kClassChipData = 0xFF,   // mode 8: drop D5 and the response code
};

constexpr std::int32_t kEngineBufferSize = QVR_CAPACITY_MAX;
constexpr std::int32_t kMaxDestinationBytes = QVR_REPLY_MAX;
// The reader announces every command export's answer with 61 Le first.
constexpr std::int32_t kShortAnswerCapacity = 4;

// Wraps command in the mode's pseudo-APDU, sends it, fetches pending data and
// copies the trimmed answer (at most 251 bytes) to destination. Under T=1 and
// through the escape the engine's whole buffer receives the first reply of modes 8
// and 9, whatever firstReplyCapacity says (a negative one still sends nothing);
// through the escape also that of mode 2. Returns a status
// word; *replyLength receives the number of bytes delivered (for a direct answer,
// the answer's length less its two status bytes, with nothing delivered).
std::int32_t Transceive(std::uint8_t* destination, std::int32_t firstReplyCapacity,
                        const ReaderPart& reader, std::uint8_t mode, std::uint8_t responseClass,
                        const std::uint8_t* command, std::int32_t commandLength,
                        std::int32_t* replyLength) noexcept;

// Sends apdu unchanged, fetches pending data with GET RESPONSE 00 C0 00 00 Le (on a
// direct connection: takes the escape's whole answer, at least a status word) and
// copies the whole answer, status bytes included, to destination when it fits in
// capacity. Returns the number
// of bytes delivered, 0 on failure, 0x7001 without a card handle.
std::int32_t TransceiveRaw(const std::uint8_t* apdu, std::int32_t length, std::int32_t capacity,
                           std::uint8_t* destination, const ReaderPart& reader) noexcept;

// The command exports' one road to the engine: the command composed in the record,
// sent in the mode with the short first-reply capacity. The status is also kept in
// the record, for the export's own post-processing.
inline std::int32_t sendRecordCommand(WorkRecord& record, std::uint8_t mode,
                                      std::uint8_t responseClass, std::int32_t length,
                                      std::uint8_t* reply, std::int32_t* replyLength) noexcept {
    record.lastStatus = Transceive(reply, kShortAnswerCapacity, record.reader, mode, responseClass,
                                   record.commandBytes, length, replyLength);
    return record.lastStatus;
}

}  // namespace qvr

#endif
