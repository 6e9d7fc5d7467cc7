// Exchanging commands with the card that polling activated: the general exchange
// (raw, or wrapped in InDataExchange for target 1) and two fixed card commands whose
// expected answer is condensed to one byte.
#include <cstring>

#include "export_guard.h"
#include "hex_command.h"
#include "reader_api.h"
#include "transceive.h"

namespace qvr {
namespace {

// FeliCa Request Response: frame length 0A, command 04, then the card's IDm (8 bytes).
constexpr const char* kFeliCaRequestResponse = "0A04";
constexpr std::size_t kIdmCharacters = 16;
// The FeliCa answer 0B 05 IDm mode: the last byte is the card's current mode.
constexpr std::int32_t kRequestResponseAnswer = 11;

// The fixed Type B card command 90 32 03 00 00 00, whose expected answer carries
// exactly 95 data bytes; that answer is reported as the single byte 02.
constexpr const char* kTypeBCommandHead = "9032";
constexpr const char* kTypeBCommandTail = "03000000";
constexpr std::int32_t kTypeBExpectedData = 95;
constexpr std::uint8_t kTypeBExpectedMarker = 0x02;

std::int32_t rawExchange(WorkRecord& record, const std::uint8_t* command, std::int32_t length,
                         std::uint8_t* reply, std::int32_t capacity, std::int32_t* replyLength) {
    if (record.reader.card == 0) {
        if (replyLength != nullptr) *replyLength = 0;
        return QVR_NOT_SENT;
    }
    if (replyLength == nullptr) return 0;
    const std::int32_t delivered = TransceiveRaw(command, length, capacity, reply, record.reader);
    *replyLength = 0;  // the count is the result; the length is not used for this type
    return delivered;
}

// Moves the mode byte of an 11-byte Request Response answer to byte 0 and clears
// the rest; the answer is kept in the record's command area while it is rewritten.
void condenseFeliCaMode(WorkRecord& record, std::uint8_t* reply, std::int32_t* replyLength) {
    std::memcpy(record.commandBytes, reply, kRequestResponseAnswer);
    std::memset(reply, 0, kRequestResponseAnswer);
    reply[0] = record.commandBytes[kRequestResponseAnswer - 1];
    *replyLength = 1;
}

void condenseTypeBAnswer(std::uint8_t* reply, std::int32_t* replyLength) {
    std::memset(reply, 0, kTypeBExpectedData);
    reply[0] = kTypeBExpectedMarker;
    *replyLength = 1;
}

}  // namespace
}  // namespace qvr

using namespace qvr;

extern "C" int32_t oSendTo(int32_t card, int32_t exchangeType, const uint8_t* command, int32_t length,
                           uint8_t* reply, int32_t capacity, int32_t* replyLength) {
    return withWorkRecord(QVR_UNKNOWN_EXCHANGE_TYPE, [&](WorkRecord& record) -> std::int32_t {
        switch (exchangeType) {
            case QVR_EXCHANGE_RAW:
                record.reader.card = card;
                return rawExchange(record, command, length, reply, capacity, replyLength);
            case QVR_EXCHANGE_CARD_DATA:
            case QVR_EXCHANGE_CARD_ANSWER:
                record.reader.card = card;
                return Transceive(reply, capacity, record.reader, kModeDataExchange,
                                  static_cast<std::uint8_t>(exchangeType), command, length,
                                  replyLength);
            default:
                return QVR_UNKNOWN_EXCHANGE_TYPE;
        }
    });
}

extern "C" int32_t oRequestResponseTypeC(int32_t card, const char* idm, uint8_t* reply,
                                         int32_t* replyLength) {
    return runGuarded(GuardKind::SocketExceptionOnly, QVR_FALLBACK_REQUEST, [&](WorkRecord& record) {
        record.reader.card = card;
        const std::int32_t length =
            composeCommand(record, {kFeliCaRequestResponse, callerText(idm, kIdmCharacters)});
        if (length < 0) return QVR_FALLBACK_REQUEST;  // the IDm text is not hex
        sendRecordCommand(record, kModeDataExchange, kClassCardAnswer, length, reply, replyLength);
        if (replyLength != nullptr && record.lastStatus != QVR_NOT_SENT &&
            *replyLength == kRequestResponseAnswer)
            condenseFeliCaMode(record, reply, replyLength);
        return record.lastStatus;
    });
}

extern "C" int32_t oRequestResponseTypeB(int32_t card, uint8_t* reply, int32_t* replyLength) {
    return runGuarded(GuardKind::SocketExceptionOnly, QVR_FALLBACK_REQUEST, [&](WorkRecord& record) {
        record.reader.card = card;
        const std::int32_t length = composeCommand(record, {kTypeBCommandHead, kTypeBCommandTail});
        sendRecordCommand(record, kModeDataExchange, kClassCardData, length, reply, replyLength);
        if (replyLength != nullptr && record.lastStatus != QVR_NOT_SENT &&
            *replyLength == kTypeBExpectedData)
            condenseTypeBAnswer(reply, replyLength);
        return record.lastStatus;
    });
}
