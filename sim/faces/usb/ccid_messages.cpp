#include "faces/usb/ccid_messages.h"

#include <algorithm>

namespace vreader::ccid {

namespace {

// bStatus: bmICCStatus in bits 0-1, bmCommandStatus in bits 6-7.
constexpr std::uint8_t kIccActive = 0x00;
constexpr std::uint8_t kIccInactive = 0x01;
constexpr std::uint8_t kIccAbsent = 0x02;
constexpr std::uint8_t kCommandFailed = 0x40;
constexpr std::uint8_t kTimeExtension = 0x80;

// Every DataBlock of the ACR122U carries 81 in bError, even when bStatus reports
// success: seen in the debug logs of PN532 software that talks to the reader's USB
// interface directly (libnfc's acr122_usb driver, e.g. "80 04 00 00 00 00 00 00 81 00
// d5 33 90 00" for RFConfiguration).
constexpr std::uint8_t kDataBlockError = 0x81;

// Protocol data of T=1 for GetParameters (CCID 1.1 section 6.2.3): Fi/Di 11, TCCKS
// 10 (LRC), guard time 0, BWI 4 / CWI D, no clock stop, IFSC FE, NAD 0.
const Bytes kT1Parameters{0x11, 0x10, 0x00, 0x4D, 0x00, 0xFE, 0x00};
constexpr std::uint8_t kProtocolT1 = 0x01;

struct Header {
    std::uint8_t type;
    std::uint8_t slot;
    std::uint8_t sequence;
    std::uint8_t specific;  // first message-specific byte (bProtocolNum of SetParameters)
    Bytes data;
};

Header readHeader(const Bytes& message) {
    const std::size_t length = *messageLength(message) - kHeaderSize;
    const std::size_t available = message.size() - kHeaderSize;
    const auto end = message.begin() + static_cast<std::ptrdiff_t>(kHeaderSize + std::min(length, available));
    return {message[0], message[5], message[6], message[7], Bytes(message.begin() + kHeaderSize, end)};
}

std::uint8_t iccStatus(const SlotView& slot) {
    if (!slot.present) return kIccAbsent;
    return slot.powered ? kIccActive : kIccInactive;
}

Bytes message(std::uint8_t type, const Header& to, std::uint8_t status, std::uint8_t error,
              std::uint8_t specific, const Bytes& data = {}) {
    const auto length = static_cast<std::uint32_t>(data.size());
    Bytes out(kHeaderSize + data.size());
    out[0] = type;
    for (std::size_t i = 0; i < 4; ++i) out[1 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    out[5] = to.slot;
    out[6] = to.sequence;
    out[7] = status;
    out[8] = error;
    out[9] = specific;
    std::copy(data.begin(), data.end(), out.begin() + static_cast<std::ptrdiff_t>(kHeaderSize));
    return out;
}

Bytes slotStatus(const Header& to, const SlotView& slot) { return message(kSlotStatus, to, iccStatus(slot), 0, 0); }

Bytes failed(std::uint8_t type, const Header& to, const SlotView& slot, std::uint8_t error) {
    return message(type, to, static_cast<std::uint8_t>(kCommandFailed | iccStatus(slot)), error, 0);
}

Bytes dataBlock(const Header& to, const SlotView& slot, const Bytes& data) {
    return message(kDataBlock, to, iccStatus(slot), kDataBlockError, 0, data);
}

Bytes powerOn(const Header& to, SlotService& slot) {
    const auto atr = slot.powerOn();
    if (!atr) return failed(kDataBlock, to, slot.view(), kErrorIccMute);
    return dataBlock(to, slot.view(), *atr);
}

// An APDU to the card: refused as a mute card without a powered card in the slot.
Bytes transferBlock(const Header& to, SlotService& slot) {
    if (!slot.view().powered) return failed(kDataBlock, to, slot.view(), kErrorIccMute);
    const auto reply = slot.transmit(to.data);
    if (!reply) return failed(kDataBlock, to, slot.view(), kErrorIccMute);
    return dataBlock(to, slot.view(), *reply);
}

Bytes escape(const Header& to, SlotService& slot) {
    const Bytes reply = slot.escape(to.data);
    return message(kEscapeAnswer, to, iccStatus(slot.view()), 0, 0, reply);
}

// The reader works with T=1 only: SetParameters for T=1 is taken as asked, any
// other protocol refused (bError 7, the offset of bProtocolNum).
Bytes setParameters(const Header& to, const SlotView& slot) {
    constexpr std::uint8_t kBadProtocolOffset = 7;
    if (to.specific != kProtocolT1) return failed(kParameters, to, slot, kBadProtocolOffset);
    return message(kParameters, to, iccStatus(slot), 0, kProtocolT1, to.data);
}

}  // namespace

std::optional<std::size_t> messageLength(const Bytes& bytes) {
    if (bytes.size() < kHeaderSize) return std::nullopt;
    const auto length = static_cast<std::size_t>(bytes[1]) | static_cast<std::size_t>(bytes[2]) << 8 |
                        static_cast<std::size_t>(bytes[3]) << 16 | static_cast<std::size_t>(bytes[4]) << 24;
    return kHeaderSize + length;
}

Bytes answer(const Bytes& bytes, SlotService& slot) {
    if (bytes.size() < kHeaderSize) return {};
    const Header in = readHeader(bytes);
    const SlotView before = slot.view();
    if (in.slot != 0) return failed(kSlotStatus, in, SlotView{}, kErrorBadSlot);
    switch (in.type) {
        case kIccPowerOn: return powerOn(in, slot);
        case kIccPowerOff:
            slot.powerOff();
            return slotStatus(in, slot.view());
        case kGetSlotStatus:
        case kAbort: return slotStatus(in, before);
        case kXfrBlock: return transferBlock(in, slot);
        case kEscape: return escape(in, slot);
        case kGetParameters:
        case kResetParameters: return message(kParameters, in, iccStatus(before), 0, kProtocolT1, kT1Parameters);
        case kSetParameters: return setParameters(in, before);
        default: return failed(kSlotStatus, in, before, kErrorCommandNotSupported);
    }
}

Bytes slotStatusAnswer(const Bytes& bytes, const SlotView& shown) { return slotStatus(readHeader(bytes), shown); }

Bytes timeExtension(const Bytes& bytes, const SlotView& slot) {
    const Header in = readHeader(bytes);
    const std::uint8_t type = in.type == kEscape ? kEscapeAnswer : kDataBlock;
    return message(type, in, static_cast<std::uint8_t>(kTimeExtension | iccStatus(slot)), 0x01, 0);
}

Bytes slotChange(bool present) {
    constexpr std::uint8_t kChanged = 0x02;
    return {kNotifySlotChange, static_cast<std::uint8_t>(kChanged | (present ? 0x01 : 0x00))};
}

}  // namespace vreader::ccid
