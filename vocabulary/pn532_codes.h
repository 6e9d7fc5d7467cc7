// Names for the PN532's frame bytes, command codes, status codes and target types
// (NXP PN532 user manual UM0701-02). Names only: what the chip does with them is
// written where it is done, once in the library and once, independently, in the
// virtual reader.
#ifndef QVR_VOCABULARY_PN532_CODES_H
#define QVR_VOCABULARY_PN532_CODES_H

#include <cstdint>

#include "reader/reader_api.h"

namespace qvr::pn532 {

constexpr std::uint8_t kHostToChip = 0xD4;
constexpr std::uint8_t kChipToHost = 0xD5;
// The chip's whole answer to a frame it cannot parse.
constexpr std::uint8_t kSyntaxError = 0x7F;

// Command codes; the answer carries the code + 1.
enum Command : std::uint8_t {
    kGetFirmwareVersion = 0x02,
    kGetGeneralStatus = 0x04,
    kReadRegister = 0x06,
    kWriteRegister = 0x08,
    kSetParameters = 0x12,
    kSamConfiguration = 0x14,
    kRfConfiguration = 0x32,
    kInDataExchange = 0x40,
    kInJumpForPsl = 0x46,
    kInCommunicateThru = 0x42,
    kInDeselect = 0x44,
    kInListPassiveTarget = 0x4A,
    kInPsl = 0x4E,
    kInRelease = 0x52,
    kInJumpForDep = 0x56,
    kInAutoPoll = 0x60,
};

// Status byte (low 6 bits) of the In... commands.
enum Status : std::uint8_t {
    kSuccess = 0x00,
    kTimeout = 0x01,
    kInvalidParameter = 0x10,
    kNotAcceptable = 0x27,
};

// RFConfiguration items.
enum RfItem : std::uint8_t {
    kRfField = 0x01,
    kTimings = 0x02,
    kMaxRetries = 0x05,
};

// InListPassiveTarget BrTy.
enum BaudModulation : std::uint8_t {
    kTypeA106 = 0x00,
    kFeliCa212 = 0x01,
    kFeliCa424 = 0x02,
    kTypeB106 = 0x03,
    kJewel106 = 0x04,
};

// InAutoPoll target types; those the library polls for are its public tag types.
enum AutoPollType : std::uint8_t {
    kGenericTypeA106 = 0x00,
    kGenericFeliCa212 = 0x01,
    kGenericFeliCa424 = 0x02,
    kIso14443_4B106Generic = 0x03,
    kMifare106 = QVR_TAG_TYPE_A,
    kFeliCaAt212 = QVR_TAG_FELICA_212,
    kFeliCaAt424 = QVR_TAG_FELICA_424,
    kIso14443_4A106 = QVR_TAG_TYPE_A_14443_4,
    kIso14443_4B106 = QVR_TAG_TYPE_B_14443_4,
};

// The name of a tag type the library reports (QVR_TAG_NONE: none answered), for
// people reading a transcript.
constexpr const char* tagTypeName(std::uint8_t type) noexcept {
    switch (type) {
        case QVR_TAG_NONE: return "no tag in the field";
        case QVR_TAG_TYPE_A: return "106 kbit/s Type A (ISO 14443-4 not required, e.g. MIFARE Ultralight/NTAG)";
        case QVR_TAG_FELICA_212: return "FeliCa 212 kbit/s";
        case QVR_TAG_FELICA_424: return "FeliCa 424 kbit/s";
        case QVR_TAG_TYPE_A_14443_4: return "ISO/IEC 14443-4 Type A";
        case QVR_TAG_TYPE_B_14443_4: return "ISO/IEC 14443-4 Type B";
        default: return "type code not in the library's polling list";
    }
}

}  // namespace qvr::pn532

#endif
