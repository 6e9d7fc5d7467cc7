// Reader housekeeping: one fixed PN532 command each, sent by direct transmit and
// answered by the chip in at most six bytes. No post-processing: the caller gets
// the chip's whole short answer (D5, response code, data) and the reader's status.
#include "export_guard.h"
#include "hex_command.h"
#include "reader_api.h"
#include "transceive.h"

namespace qvr {
namespace {

struct ReaderCommand {
    const char* hexText;
    std::uint8_t responseClass;
    std::int32_t fallback;
    GuardKind guard;
};

// GetFirmwareVersion: D5 03 IC Ver Rev Support.
constexpr ReaderCommand kFirmwareVersion{"D402", kClassCardAnswer, QVR_FALLBACK_FIRMWARE,
                                         GuardKind::AnyException};
// InDeselect target 1: D5 45 Status.
constexpr ReaderCommand kDeselect{"D44401", kClassCardData, QVR_FALLBACK_DESELECT,
                                  GuardKind::AnyException};
// RFConfiguration item 01 (RF field) = 00: field off, auto collision avoidance off.
constexpr ReaderCommand kRfFieldOff{"D4320100", kClassCardData, QVR_FALLBACK_RF_OFF,
                                    GuardKind::AnyException};
// RFConfiguration item 05 (MaxRetries): ATR, PSL and passive activation tried once.
constexpr const char* kOneAttemptEach = "D43205000000";
constexpr ReaderCommand kConfigure{kOneAttemptEach, kClassCardAnswer, QVR_FALLBACK_CONFIGURE,
                                   GuardKind::AnyException};
constexpr ReaderCommand kRetryOnce{kOneAttemptEach, kClassCardAnswer, QVR_FALLBACK_RETRY,
                                   GuardKind::SocketExceptionOnly};

// InPSL target 1 with BRit and BRti: 02 02 is 424 kbit/s, 01 01 is 212 kbit/s.
constexpr const char* kChangeBaudRate = "D44E01";
constexpr const char* k424Both = "0202";
constexpr const char* k212Both = "0101";

std::int32_t runReaderCommand(const ReaderCommand& command, std::int32_t card,
                              std::uint8_t* reply, std::int32_t* replyLength) {
    return runGuarded(command.guard, command.fallback, [&](WorkRecord& record) {
        record.reader.card = card;
        const std::int32_t length = composeCommand(record, {command.hexText});
        return sendRecordCommand(record, kModeDirect, command.responseClass, length, reply,
                                 replyLength);
    });
}

}  // namespace
}  // namespace qvr

using namespace qvr;

extern "C" int32_t oFirmwareVer(int32_t card, uint8_t* reply, int32_t* replyLength) {
    return runReaderCommand(kFirmwareVersion, card, reply, replyLength);
}

extern "C" int32_t oDeSelectTag(int32_t card, uint8_t* reply, int32_t* replyLength) {
    return runReaderCommand(kDeselect, card, reply, replyLength);
}

extern "C" int32_t oTurnOffAntennaPower(int32_t card, uint8_t* reply, int32_t* replyLength) {
    return runReaderCommand(kRfFieldOff, card, reply, replyLength);
}

extern "C" int32_t oConfigureReader(int32_t card, uint8_t* reply, int32_t* replyLength) {
    return runReaderCommand(kConfigure, card, reply, replyLength);
}

extern "C" int32_t oSetRetryTimeToOne(int32_t card, uint8_t* reply, int32_t* replyLength) {
    return runReaderCommand(kRetryOnce, card, reply, replyLength);
}

extern "C" int32_t oChangeBaudRate(int32_t card, uint8_t* reply, int32_t* replyLength, int32_t rate) {
    return runGuarded(GuardKind::AnyException, QVR_FALLBACK_CHANGE_BAUD, [&](WorkRecord& record) {
        record.reader.card = card;
        const std::int32_t length = composeCommand(record, {kChangeBaudRate, rate != 0 ? k424Both : k212Both});
        return sendRecordCommand(record, kModeDirect, kClassCardData, length, reply, replyLength);
    });
}
