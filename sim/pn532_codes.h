// Names for the PN532's frame bytes, command codes and error codes.
#ifndef VREADER_PN532_CODES_H
#define VREADER_PN532_CODES_H

#include <cstdint>

namespace vreader::pn532 {

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

// CIU registers the chip's polling sets and raw exchanges follow: bit 7 CRC
// enabled, bits 6-4 speed, bits 1-0 framing (00 Type A, 10 FeliCa, 11 Type B).
constexpr std::uint16_t kCiuTxMode = 0x6302;
constexpr std::uint16_t kCiuRxMode = 0x6303;
constexpr std::uint8_t kCiuCrcEnabled = 0x80;

// InListPassiveTarget BrTy.
enum BaudModulation : std::uint8_t {
    kTypeA106 = 0x00,
    kFeliCa212 = 0x01,
    kFeliCa424 = 0x02,
    kTypeB106 = 0x03,
    kJewel106 = 0x04,
};

// InAutoPoll target types.
enum AutoPollType : std::uint8_t {
    kGenericTypeA106 = 0x00,
    kGenericFeliCa212 = 0x01,
    kGenericFeliCa424 = 0x02,
    kIso14443_4B106Generic = 0x03,
    kMifare106 = 0x10,
    kFeliCaAt212 = 0x11,
    kFeliCaAt424 = 0x12,
    kIso14443_4A106 = 0x20,
    kIso14443_4B106 = 0x23,
};

// GetFirmwareVersion: IC PN532, version 1.6, Type A, Type B and ISO 18092 supported.
constexpr std::uint8_t kFirmwareIc = 0x32;
constexpr std::uint8_t kFirmwareVersion = 0x01;
constexpr std::uint8_t kFirmwareRevision = 0x06;
constexpr std::uint8_t kFirmwareSupport = 0x07;

constexpr std::uint8_t kMaxTargets = 2;

}  // namespace vreader::pn532

#endif
