// The CCID message layer of the reader's USB face (CCID 1.1 sections 6.1 to 6.3):
// one PC_to_RDR message in, its RDR_to_PC answer out, the slot's state in each
// answer's bStatus, failures in bError; slot changes for the interrupt endpoint.
// Bytes in, bytes out: the USB plumbing that carries them lives apart.
#ifndef VREADER_CCID_MESSAGES_H
#define VREADER_CCID_MESSAGES_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include "model/hex_bytes.h"
#include "model/slot_service.h"

namespace vreader::ccid {

inline constexpr std::size_t kHeaderSize = 10;

// PC_to_RDR message types.
inline constexpr std::uint8_t kSetParameters = 0x61;
inline constexpr std::uint8_t kIccPowerOn = 0x62;
inline constexpr std::uint8_t kIccPowerOff = 0x63;
inline constexpr std::uint8_t kGetSlotStatus = 0x65;
inline constexpr std::uint8_t kEscape = 0x6B;
inline constexpr std::uint8_t kGetParameters = 0x6C;
inline constexpr std::uint8_t kResetParameters = 0x6D;
inline constexpr std::uint8_t kXfrBlock = 0x6F;
inline constexpr std::uint8_t kAbort = 0x72;

// RDR_to_PC message types.
inline constexpr std::uint8_t kDataBlock = 0x80;
inline constexpr std::uint8_t kSlotStatus = 0x81;
inline constexpr std::uint8_t kParameters = 0x82;
inline constexpr std::uint8_t kEscapeAnswer = 0x83;
inline constexpr std::uint8_t kNotifySlotChange = 0x50;

// bError values (CCID 1.1 table 6.2-2).
inline constexpr std::uint8_t kErrorCommandNotSupported = 0x00;
inline constexpr std::uint8_t kErrorBadLength = 0x01;
inline constexpr std::uint8_t kErrorBadSlot = 0x05;
inline constexpr std::uint8_t kErrorIccMute = 0xFE;

// The total length of the message at the start of bytes (header and dwLength data),
// once its header is there.
std::optional<std::size_t> messageLength(const Bytes& bytes);

// The reader's answer to one whole PC_to_RDR message.
Bytes answer(const Bytes& message, SlotService& slot);

// The SlotStatus answer to message for the slot as given.
Bytes slotStatusAnswer(const Bytes& message, const SlotView& shown);

// A DataBlock with bmCommandStatus "time extension", sent while the reader is still
// working on message (CCID 1.1 section 6.2.6: bError then holds the waiting time
// multiplier).
Bytes timeExtension(const Bytes& message, const SlotView& slot);

// RDR_to_PC_NotifySlotChange for slot 0: bit 0 a card is present, bit 1 it changed.
Bytes slotChange(bool present);

}  // namespace vreader::ccid

#endif
