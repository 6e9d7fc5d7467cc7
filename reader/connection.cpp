// Connecting to the first PC/SC reader, disconnecting, and reporting its name.
#include <cstdint>

#include "pcsc_platform.h"

#include "context_table.h"
#include "export_guard.h"
#include "first_reader_name.h"
#include "reader_api.h"

namespace qvr {
namespace {

constexpr std::size_t kCallerNameCapacity = 200;

// Card handles and contexts cross the library boundary as 32-bit integers. pcsc-lite
// hands out 32-bit values in a wider type; anything else cannot be carried.
template <typename Handle>
bool fitsInt32(Handle value) {
    return static_cast<Handle>(static_cast<std::int32_t>(value)) == value;
}

std::int32_t connectFirstReader(WorkRecord& record) {
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
        return 0;
    record.reader.context = static_cast<std::int32_t>(context);

    auto giveUp = [&](SCARDHANDLE card) -> std::int32_t {
        if (card != 0) SCardDisconnect(card, SCARD_LEAVE_CARD);
        SCardReleaseContext(context);
        return 0;
    };

    if (!copyFirstReaderName(context, record.reader.readerName, sizeof record.reader.readerName))
        return giveUp(0);

    SCARDHANDLE card = 0;
    DWORD activeProtocol = 0;
    // Connecting sends nothing to the reader: the first command is the caller's.
    if (pcsc::connect(context, record.reader.readerName, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0,
                     &card, &activeProtocol) != SCARD_S_SUCCESS)
        return giveUp(0);
    if (activeProtocol != SCARD_PROTOCOL_T0 || card == 0 || !fitsInt32(card)) return giveUp(card);

    record.reader.card = static_cast<std::int32_t>(card);
    try {
        rememberContext(record.reader.card, context);
    } catch (...) {
        return giveUp(card);
    }
    // The context stays established for as long as the connection lives.
    return record.reader.card;
}

}  // namespace
}  // namespace qvr

using qvr::WorkRecord;

extern "C" int32_t oConnectPCSCReader(void) {
    return qvr::runGuarded(qvr::GuardKind::AnyException, 0, qvr::connectFirstReader);
}

extern "C" int32_t oDisconnectPCSCReader(int32_t card) {
    return qvr::withWorkRecord(0, [card](WorkRecord& record) -> std::int32_t {
        record.reader.card = card;
        const LONG result = SCardDisconnect(static_cast<SCARDHANDLE>(card), SCARD_UNPOWER_CARD);
        // The context goes with the connection, whatever the platform said about it.
        if (const auto context = qvr::takeContext(card)) SCardReleaseContext(*context);
        return result == SCARD_S_SUCCESS ? QVR_SW_SUCCESS : 0;
    });
}

extern "C" int32_t oPCSCReaderName(char* name) {
    if (name == nullptr) return 0;
    return qvr::withWorkRecord(0, [name](WorkRecord& record) -> std::int32_t {
        SCARDCONTEXT context = 0;
        if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
            return 0;
        record.reader.context = static_cast<std::int32_t>(context);
        const bool copied = qvr::copyFirstReaderName(context, name, qvr::kCallerNameCapacity);
        SCardReleaseContext(context);
        return copied ? 1 : 0;
    });
}
