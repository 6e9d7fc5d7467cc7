// The PN532 as the virtual reader plays it: the house's names for the chip's bytes,
// and the values this chip reports and the registers it follows.
#ifndef VREADER_PN532_CODES_H
#define VREADER_PN532_CODES_H

#include <cstdint>

#include "vocabulary/pn532_codes.h"

namespace vreader::pn532 {

using namespace qvr::pn532;  // the house's names for the bytes, no behaviour

// CIU registers the chip's polling sets and raw exchanges follow: bit 7 CRC
// enabled, bits 6-4 speed, bits 1-0 framing (00 Type A, 10 FeliCa, 11 Type B).
constexpr std::uint16_t kCiuTxMode = 0x6302;
constexpr std::uint16_t kCiuRxMode = 0x6303;
constexpr std::uint8_t kCiuCrcEnabled = 0x80;

// GetFirmwareVersion: IC PN532, version 1.6, Type A, Type B and ISO 18092 supported.
constexpr std::uint8_t kFirmwareIc = 0x32;
constexpr std::uint8_t kFirmwareVersion = 0x01;
constexpr std::uint8_t kFirmwareRevision = 0x06;
constexpr std::uint8_t kFirmwareSupport = 0x07;

constexpr std::uint8_t kMaxTargets = 2;

// Error codes of the In... commands (UM0701 table "Error code list") the chip
// reports for storage cards: a NAK is no frame the chip expects (0x13, "invalid or
// unexpected RF received frame"); a refused MIFARE authentication is 0x14.
constexpr std::uint8_t kInvalidFrame = 0x13;
constexpr std::uint8_t kStatusSuccess = kSuccess;
constexpr std::uint8_t kAuthenticationError = 0x14;

}  // namespace vreader::pn532

#endif
