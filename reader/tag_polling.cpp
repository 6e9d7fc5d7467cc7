// Finding a tag in the field. Two exports ask the PN532 to activate one target of
// a fixed technology (InListPassiveTarget) and succeed only when its answer carries
// a target; two let the chip poll a list of target types (InAutoPoll) and report the
// type code of the first target found.
#include "export_guard.h"
#include "hex_command.h"
#include "reader_api.h"
#include "transceive.h"

namespace qvr {
namespace {

// InListPassiveTarget, one target, 106 kbit/s Type B, AFI 00 (all families).
constexpr const char* kListTypeB = "D44A010300";
// InListPassiveTarget, one target, 212 kbit/s FeliCa, with the FeliCa Polling
// request 00 FFFF 01 00: any system code, ask for the system code, one time slot.
constexpr const char* kListFeliCa212 = "D44A010100FFFF0100";
// InAutoPoll, one pass (PollNr 01); the period and the types follow.
constexpr const char* kAutoPollOnePass = "D46001";

// A type code as the two hex digits a command text carries.
struct HexPair {
    char digits[2];
    constexpr std::string_view text() const { return {digits, 2}; }
};
constexpr HexPair hexPair(std::uint8_t code) {
    constexpr const char* kDigits = "0123456789ABCDEF";
    return {{kDigits[code >> 4], kDigits[code & 0x0F]}};
}
// The types oPollingTags polls for, in the chip's order of trying them.
constexpr HexPair kPolledTypes[] = {hexPair(QVR_TAG_TYPE_B_14443_4), hexPair(QVR_TAG_FELICA_212),
                                    hexPair(QVR_TAG_FELICA_424), hexPair(QVR_TAG_TYPE_A_14443_4),
                                    hexPair(QVR_TAG_TYPE_A)};

constexpr std::size_t kHexPair = 2;

// An InListPassiveTarget answer without a target is D5 4B 00 (three bytes); the
// reply must be longer than five bytes to carry one. Signed on purpose: a caller's
// negative leftover length means no target.
std::int32_t listPassiveTarget(std::int32_t card, const char* command, std::uint8_t responseClass,
                               std::int32_t noTarget, std::uint8_t* reply, std::int32_t* replyLength) {
    return runGuarded(GuardKind::AnyException, QVR_FALLBACK_POLLING, [&](WorkRecord& record) {
        record.reader.card = card;
        const std::int32_t length = composeCommand(record, {command});
        sendRecordCommand(record, kModeDirect, responseClass, length, reply, replyLength);
        if (replyLength == nullptr) return record.lastStatus;
        return *replyLength > 5 ? record.lastStatus : noTarget;
    });
}

// InAutoPoll answers D5 61 NbTg, then per target its type code and data. Class 0xFF
// drops D5 61 from a long answer, so the type is byte 1; a short answer (up to eight
// bytes) arrives whole, and D5 61 00 reports type 00 at byte 2: nothing answered.
void takeFoundType(const std::uint8_t* reply, std::int32_t replyLength, std::uint8_t* tagTypeFound) {
    const auto length = static_cast<std::uint32_t>(replyLength);
    if (length >= 5) {
        *tagTypeFound = reply[1];
    } else if (length == 3) {
        *tagTypeFound = reply[2];
    }
}

std::int32_t autoPoll(WorkRecord& record, std::int32_t length, std::uint8_t* reply,
                      std::int32_t* replyLength, std::uint8_t* tagTypeFound) {
    if (length < 0) return QVR_FALLBACK_POLLING;  // period or type text is not hex
    if (record.reader.card == 0 || tagTypeFound == nullptr) return QVR_NOT_SENT;
    const std::int32_t status =
        sendRecordCommand(record, kModeDirect, kClassChipData, length, reply, replyLength);
    if (status != QVR_SW_SUCCESS) return status;
    takeFoundType(reply, *replyLength, tagTypeFound);
    return QVR_SW_SUCCESS;
}

}  // namespace
}  // namespace qvr

using namespace qvr;

extern "C" int32_t oPollISO14443_TypeBTag(int32_t card, uint8_t* reply, int32_t* replyLength) {
    return listPassiveTarget(card, kListTypeB, kClassCardData, QVR_POLL_NO_TYPE_B_TARGET, reply,
                             replyLength);
}

extern "C" int32_t oPollISO18092_TypeCTag(int32_t card, uint8_t* reply, int32_t* replyLength) {
    return listPassiveTarget(card, kListFeliCa212, kClassCardAnswer, QVR_POLL_NO_FELICA_TARGET,
                             reply, replyLength);
}

extern "C" int32_t oPollingTags(int32_t card, uint8_t* reply, int32_t* replyLength,
                                uint8_t* tagTypeFound, const char* pollPeriod) {
    return runGuarded(GuardKind::AnyException, QVR_FALLBACK_POLLING, [&](WorkRecord& record) {
        record.reader.card = card;
        const std::int32_t length = composeCommand(
            record, {kAutoPollOnePass, callerText(pollPeriod, kHexPair), kPolledTypes[0].text(),
                     kPolledTypes[1].text(), kPolledTypes[2].text(), kPolledTypes[3].text(),
                     kPolledTypes[4].text()});
        return autoPoll(record, length, reply, replyLength, tagTypeFound);
    });
}

extern "C" int32_t oPollThisTag(int32_t card, uint8_t* reply, int32_t* replyLength,
                                const char* tagTypeToPoll, uint8_t* tagTypeFound,
                                const char* pollPeriod) {
    return runGuarded(GuardKind::AnyException, QVR_FALLBACK_POLLING, [&](WorkRecord& record) {
        record.reader.card = card;
        const std::int32_t length = composeCommand(
            record, {kAutoPollOnePass, callerText(pollPeriod, kHexPair),
                     callerText(tagTypeToPoll, kHexPair)});
        return autoPoll(record, length, reply, replyLength, tagTypeFound);
    });
}
