// The pcscd driver (IFD handler) of the virtual ACR122U. pcscd loads it from a
// reader configuration whose DEVICENAME is the path of the virtual reader program's
// socket, and sees through it what the CCID driver shows of a USB ACR122U: one slot,
// a card only while the reader has activated a tag (or always, as the program is
// told), the reader's pseudo-ATR with T=0 and T=1, pseudo-APDUs over the CCID
// escape, and card arrival and removal reported at once from the driver's own event
// function instead of pcscd's 400 ms poll.
//
// pcscd calls these functions from several threads; no exception leaves them.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "reader_connection.h"

extern "C" {
#include <ifdhandler.h>
#include <reader.h>
}

#define VREADER_IFD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using vreader::driver::ReaderConnection;
using vreader::link::CardState;
using vreader::link::Message;
using vreader::link::MessageType;
namespace link = vreader::link;

// One reader (pcscd's logical unit) and what the driver remembers of its card.
struct Slot {
    explicit Slot(const std::string& path) : connection(path) {}

    ReaderConnection connection;
    std::mutex stateMutex;
    link::Bytes atr;
    // The card last powered up; a different card seen later is reported absent once,
    // so that pcscd powers the new one up instead of keeping the old one's handles.
    std::optional<std::uint32_t> poweredCard;
};

constexpr std::string_view kSocketPrefix = "unix:";

std::mutex slotsMutex;
std::map<DWORD, std::shared_ptr<Slot>> slots;

std::shared_ptr<Slot> slotFor(DWORD lun) {
    const std::lock_guard lock(slotsMutex);
    const auto found = slots.find(lun);
    return found == slots.end() ? nullptr : found->second;
}

// Copies an answer into pcscd's buffer; false when it does not fit.
bool deliver(const link::Bytes& answer, PUCHAR buffer, DWORD capacity, DWORD& length) {
    if (answer.size() > capacity) {
        length = 0;
        return false;
    }
    std::copy(answer.begin(), answer.end(), buffer);
    length = static_cast<DWORD>(answer.size());
    return true;
}

// The reader's answer to a command, as a driver result.
RESPONSECODE answerResult(const std::optional<Message>& reply, PUCHAR buffer, DWORD capacity, DWORD& length) {
    length = 0;
    if (!reply || reply->type != MessageType::kAnswer) return IFD_COMMUNICATION_ERROR;
    return deliver(reply->payload, buffer, capacity, length) ? IFD_SUCCESS : IFD_ERROR_INSUFFICIENT_BUFFER;
}

std::optional<CardState> cardStateFrom(const std::optional<Message>& reply) {
    if (!reply || reply->type != MessageType::kCardState) return std::nullopt;
    return link::decodeCardState(reply->payload);
}

RESPONSECODE powerUp(Slot& slot, PUCHAR atr, PDWORD atrLength) {
    const auto state = cardStateFrom(slot.connection.request({MessageType::kPowerUp, {}}));
    const std::lock_guard lock(slot.stateMutex);
    slot.atr.clear();
    if (!state || !state->present || state->atr.empty() || state->atr.size() > MAX_ATR_SIZE) {
        return IFD_ERROR_POWER_ACTION;
    }
    slot.atr = state->atr;
    slot.poweredCard = state->cardNumber;
    std::copy(slot.atr.begin(), slot.atr.end(), atr);
    *atrLength = static_cast<DWORD>(slot.atr.size());
    return IFD_SUCCESS;
}

RESPONSECODE powerDown(Slot& slot) {
    const auto reply = slot.connection.request({MessageType::kPowerDown, {}});
    const std::lock_guard lock(slot.stateMutex);
    slot.atr.clear();
    return reply && reply->type == MessageType::kAnswer ? IFD_SUCCESS : IFD_ERROR_POWER_ACTION;
}

// pcscd's event thread calls this between two looks at the card.
RESPONSECODE waitForCardEvent(DWORD lun, int timeoutMs) {
    const auto slot = slotFor(lun);
    if (!slot) return IFD_COMMUNICATION_ERROR;
    try {
        slot->connection.waitForEvent(std::chrono::milliseconds(std::max(timeoutMs, 0)));
    } catch (...) {
        return IFD_COMMUNICATION_ERROR;
    }
    return IFD_SUCCESS;
}

RESPONSECODE stopWaitingForCardEvents(DWORD lun) {
    const auto slot = slotFor(lun);
    if (slot) slot->connection.stopWaiting();
    return IFD_SUCCESS;
}

template <typename T>
RESPONSECODE giveValue(T value, PDWORD length, PUCHAR out) {
    if (*length < sizeof value) return IFD_ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(out, &value, sizeof value);
    *length = sizeof value;
    return IFD_SUCCESS;
}

}  // namespace

// DEVICENAME is the socket path, written "unix:PATH" in the reader configuration:
// pcscd requires a DEVICENAME without a colon to exist when it starts, and the reader
// program (which makes the socket) may start later or be away.
VREADER_IFD_EXPORT RESPONSECODE IFDHCreateChannelByName(DWORD Lun, LPSTR DeviceName) {
    if (DeviceName == nullptr) return IFD_COMMUNICATION_ERROR;
    std::string_view path(DeviceName);
    if (path.starts_with(kSocketPrefix)) path.remove_prefix(kSocketPrefix.size());
    if (path.empty()) return IFD_COMMUNICATION_ERROR;
    try {
        // The reader program need not run yet: the slot connects when it is first used.
        auto slot = std::make_shared<Slot>(std::string(path));
        const std::lock_guard lock(slotsMutex);
        slots[Lun] = std::move(slot);
        return IFD_SUCCESS;
    } catch (...) {
        return IFD_COMMUNICATION_ERROR;
    }
}

// The reader is found by the socket path in DEVICENAME only.
VREADER_IFD_EXPORT RESPONSECODE IFDHCreateChannel(DWORD, DWORD) { return IFD_COMMUNICATION_ERROR; }

VREADER_IFD_EXPORT RESPONSECODE IFDHCloseChannel(DWORD Lun) {
    try {
        std::shared_ptr<Slot> slot;
        {
            const std::lock_guard lock(slotsMutex);
            const auto found = slots.find(Lun);
            if (found == slots.end()) return IFD_COMMUNICATION_ERROR;
            slot = std::move(found->second);
            slots.erase(found);
        }
        slot->connection.request({MessageType::kPowerDown, {}});
        return IFD_SUCCESS;
    } catch (...) {
        return IFD_COMMUNICATION_ERROR;
    }
}

VREADER_IFD_EXPORT RESPONSECODE IFDHGetCapabilities(DWORD Lun, DWORD Tag, PDWORD Length, PUCHAR Value) {
    const auto slot = slotFor(Lun);
    if (!slot || Length == nullptr || Value == nullptr) return IFD_COMMUNICATION_ERROR;
    switch (Tag) {
        case TAG_IFD_ATR:
        case SCARD_ATTR_ATR_STRING: {
            const std::lock_guard lock(slot->stateMutex);
            return deliver(slot->atr, Value, *Length, *Length) ? IFD_SUCCESS : IFD_ERROR_INSUFFICIENT_BUFFER;
        }
        case TAG_IFD_SIMULTANEOUS_ACCESS:
            return giveValue<UCHAR>(16, Length, Value);  // readers this driver can serve
        case TAG_IFD_THREAD_SAFE:   // readers may be used at the same time
        case TAG_IFD_SLOTS_NUMBER:  // one slot
            return giveValue<UCHAR>(1, Length, Value);
        case TAG_IFD_SLOT_THREAD_SAFE:
            return giveValue<UCHAR>(0, Length, Value);
        case TAG_IFD_POLLING_THREAD_WITH_TIMEOUT:
            return giveValue(&waitForCardEvent, Length, Value);
        case TAG_IFD_STOP_POLLING_THREAD:
            return giveValue(&stopWaitingForCardEvents, Length, Value);
        default:
            return IFD_ERROR_TAG;
    }
}

VREADER_IFD_EXPORT RESPONSECODE IFDHSetCapabilities(DWORD, DWORD, DWORD, PUCHAR) {
    return IFD_NOT_SUPPORTED;
}

// The pseudo-ATR offers T=0 and T=1; either may be chosen, nothing else.
VREADER_IFD_EXPORT RESPONSECODE IFDHSetProtocolParameters(DWORD Lun, DWORD Protocol, UCHAR, UCHAR, UCHAR,
                                                          UCHAR) {
    if (!slotFor(Lun)) return IFD_COMMUNICATION_ERROR;
    return Protocol == SCARD_PROTOCOL_T0 || Protocol == SCARD_PROTOCOL_T1 ? IFD_SUCCESS
                                                                          : IFD_PROTOCOL_NOT_SUPPORTED;
}

VREADER_IFD_EXPORT RESPONSECODE IFDHPowerICC(DWORD Lun, DWORD Action, PUCHAR Atr, PDWORD AtrLength) {
    if (AtrLength != nullptr) *AtrLength = 0;
    const auto slot = slotFor(Lun);
    if (!slot) return IFD_COMMUNICATION_ERROR;
    try {
        switch (Action) {
            case IFD_POWER_DOWN:
                return powerDown(*slot);
            case IFD_POWER_UP:
            case IFD_RESET:
                if (Atr == nullptr || AtrLength == nullptr) return IFD_COMMUNICATION_ERROR;
                return powerUp(*slot, Atr, AtrLength);
            default:
                return IFD_NOT_SUPPORTED;
        }
    } catch (...) {
        return IFD_COMMUNICATION_ERROR;
    }
}

// pcscd gives the protocol as its number: 0 for T=0, 1 for T=1. Under T=0 the reader
// announces a chip answer with 61 Le; under T=1 it answers in one piece.
VREADER_IFD_EXPORT RESPONSECODE IFDHTransmitToICC(DWORD Lun, SCARD_IO_HEADER SendPci, PUCHAR TxBuffer,
                                                  DWORD TxLength, PUCHAR RxBuffer, PDWORD RxLength,
                                                  PSCARD_IO_HEADER) {
    if (RxLength == nullptr) return IFD_COMMUNICATION_ERROR;
    const DWORD capacity = *RxLength;
    *RxLength = 0;
    const auto slot = slotFor(Lun);
    if (!slot || (TxBuffer == nullptr && TxLength > 0)) return IFD_COMMUNICATION_ERROR;
    if (SendPci.Protocol > 1) return IFD_PROTOCOL_NOT_SUPPORTED;
    try {
        const MessageType type = SendPci.Protocol == 0 ? MessageType::kTransmitT0 : MessageType::kTransmitT1;
        const auto reply = slot->connection.request({type, link::Bytes(TxBuffer, TxBuffer + TxLength)});
        return answerResult(reply, RxBuffer, capacity, *RxLength);
    } catch (...) {
        return IFD_COMMUNICATION_ERROR;
    }
}

// The CCID escape carries a pseudo-APDU to the reader, card or no card, answered in
// one piece. Any other control code is refused as the CCID driver refuses codes it
// does not know.
VREADER_IFD_EXPORT RESPONSECODE IFDHControl(DWORD Lun, DWORD dwControlCode, PUCHAR TxBuffer, DWORD TxLength,
                                            PUCHAR RxBuffer, DWORD RxLength, LPDWORD pdwBytesReturned) {
    if (pdwBytesReturned == nullptr) return IFD_COMMUNICATION_ERROR;
    *pdwBytesReturned = 0;
    const auto slot = slotFor(Lun);
    if (!slot) return IFD_COMMUNICATION_ERROR;
    if (!link::isEscapeCode(static_cast<std::uint32_t>(dwControlCode))) return IFD_ERROR_NOT_SUPPORTED;
    if (TxBuffer == nullptr && TxLength > 0) return IFD_COMMUNICATION_ERROR;
    try {
        const link::Bytes data(TxBuffer, TxBuffer + TxLength);
        const auto reply = slot->connection.request(
            {MessageType::kControl, link::encodeControl(static_cast<std::uint32_t>(dwControlCode), data)});
        return answerResult(reply, RxBuffer, RxLength, *pdwBytesReturned);
    } catch (...) {
        return IFD_COMMUNICATION_ERROR;
    }
}

// Without the reader program there is no card; the reader stays listed, as a USB
// reader whose card slot reports empty.
VREADER_IFD_EXPORT RESPONSECODE IFDHICCPresence(DWORD Lun) {
    const auto slot = slotFor(Lun);
    if (!slot) return IFD_COMMUNICATION_ERROR;
    try {
        const auto state = cardStateFrom(slot->connection.request({MessageType::kCardStateQuery, {}}));
        const std::lock_guard lock(slot->stateMutex);
        if (!state || !state->present) {
            slot->poweredCard.reset();
            return IFD_ICC_NOT_PRESENT;
        }
        if (slot->poweredCard && *slot->poweredCard != state->cardNumber) {
            slot->poweredCard.reset();
            return IFD_ICC_NOT_PRESENT;
        }
        return IFD_ICC_PRESENT;
    } catch (...) {
        return IFD_COMMUNICATION_ERROR;
    }
}
