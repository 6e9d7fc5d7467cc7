// Connecting to the chosen PC/SC reader, disconnecting, and reporting its name.
#include <cstdint>
#include <optional>

#include "pcsc_platform.h"

#include "chosen_reader_name.h"
#include "context_table.h"
#include "export_guard.h"
#include "platform_calls.h"
#include "reader_api.h"

namespace qvr {
namespace {

// Card handles and contexts cross the library boundary as 32-bit integers. pcsc-lite
// hands out 32-bit values in a wider type; anything else cannot be carried.
template <typename Handle>
bool fitsInt32(Handle value) {
    return static_cast<Handle>(static_cast<std::int32_t>(value)) == value;
}

// The CCID driver refuses a card connection while the reader's field is empty (or a
// tag has just left it). The reader itself is still there to talk to.
bool fieldIsEmpty(LONG result) {
    return result == SCARD_E_NO_SMARTCARD || result == SCARD_W_REMOVED_CARD;
}

struct Connected {
    LONG result;
    SCARDHANDLE card;
    std::optional<Link> link;  // none: a protocol the engine does not speak
};

// The engine speaks T=0 and T=1 to a card connection; pcscd reports which it chose.
std::optional<Link> cardLink(DWORD activeProtocol) {
    if (activeProtocol == SCARD_PROTOCOL_T0) return Link::kCardT0;
    if (activeProtocol == SCARD_PROTOCOL_T1) return Link::kCardT1;
    return std::nullopt;
}

// Shared with a card protocol when a card is there; otherwise directly to the
// reader, which carries no card protocol at all.
Connected connectToReader(SCARDCONTEXT context, const char* readerName) {
    SCARDHANDLE card = 0;
    DWORD activeProtocol = 0;
    // Connecting sends nothing to the reader: the first command is the caller's.
    LONG result = platform::connect(context, readerName, SCARD_SHARE_SHARED, pcsc::kCardProtocols,
                                    &card, &activeProtocol);
    if (!fieldIsEmpty(result)) return {result, card, cardLink(activeProtocol)};
    result = platform::connect(context, readerName, SCARD_SHARE_DIRECT, 0, &card, &activeProtocol);
    return {result, card, Link::kDirect};
}

std::int32_t connectChosenReader(WorkRecord& record) {
    SCARDCONTEXT context = 0;
    if (platform::establishContext(&context) != SCARD_S_SUCCESS) return QVR_NO_HANDLE;
    record.reader.context = static_cast<std::int32_t>(context);

    auto giveUp = [&](SCARDHANDLE card) -> std::int32_t {
        if (card != 0) platform::disconnect(card, SCARD_LEAVE_CARD);
        platform::releaseContext(context);
        return QVR_NO_HANDLE;
    };

    if (!copyChosenReaderName(context, record.reader.readerName, sizeof record.reader.readerName))
        return giveUp(0);

    const Connected connected = connectToReader(context, record.reader.readerName);
    if (connected.result != SCARD_S_SUCCESS) return giveUp(0);
    if (!connected.link || connected.card == 0 || !fitsInt32(connected.card))
        return giveUp(connected.card);

    record.reader.card = static_cast<std::int32_t>(connected.card);
    try {
        rememberContext(record.reader.card, context, *connected.link);
    } catch (...) {
        return giveUp(connected.card);
    }
    // The context stays established for as long as the connection lives.
    return record.reader.card;
}

}  // namespace
}  // namespace qvr

using qvr::WorkRecord;

extern "C" int32_t oConnectPCSCReader(void) {
    return qvr::runGuarded(qvr::GuardKind::AnyException, QVR_NO_HANDLE, qvr::connectChosenReader);
}

extern "C" int32_t oDisconnectPCSCReader(int32_t card) {
    return qvr::withWorkRecord(QVR_FAILED, [card](WorkRecord& record) -> std::int32_t {
        record.reader.card = card;
        const LONG result = qvr::platform::disconnect(static_cast<SCARDHANDLE>(card), SCARD_UNPOWER_CARD);
        // The context goes with the connection, whatever the platform said about it.
        if (const auto context = qvr::takeContext(card)) qvr::platform::releaseContext(*context);
        return result == SCARD_S_SUCCESS ? QVR_SW_SUCCESS : QVR_FAILED;
    });
}

extern "C" int32_t oPCSCReaderName(char* name) {
    if (name == nullptr) return QVR_FAILED;
    return qvr::withWorkRecord(QVR_FAILED, [name](WorkRecord& record) -> std::int32_t {
        SCARDCONTEXT context = 0;
        if (qvr::platform::establishContext(&context) != SCARD_S_SUCCESS) return QVR_FAILED;
        record.reader.context = static_cast<std::int32_t>(context);
        const bool copied = qvr::copyChosenReaderName(context, name, QVR_NAME_BUFFER_SIZE);
        qvr::platform::releaseContext(context);
        return copied ? QVR_NAME_COPIED : QVR_FAILED;
    });
}
