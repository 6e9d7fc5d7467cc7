#include "platform_calls.h"

#include <string>

#include "wire_trace.h"

namespace qvr::platform {
namespace {

std::string connectNote(DWORD shareMode, DWORD protocols, DWORD activeProtocol, const char* reader) {
    std::string note = shareMode == SCARD_SHARE_DIRECT ? "direct" : "shared";
    note += " protocols=" + std::to_string(protocols);
    note += " active=" + std::to_string(activeProtocol);
    note += " reader=\"";
    note += reader;
    note += '"';
    return note;
}

}  // namespace

LONG establishContext(SCARDCONTEXT* context) noexcept {
    *context = 0;
    const LONG result = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, context);
    if (trace::enabled()) trace::record("establish", static_cast<std::int64_t>(*context), result);
    return result;
}

LONG releaseContext(SCARDCONTEXT context) noexcept {
    const LONG result = SCardReleaseContext(context);
    if (trace::enabled()) trace::record("release", static_cast<std::int64_t>(context), result);
    return result;
}

LONG listReaders(SCARDCONTEXT context, char** list, DWORD* length) noexcept {
    const LONG result = pcsc::listReaders(context, reinterpret_cast<LPSTR>(list), length);
    if (trace::enabled()) trace::record("list-readers", static_cast<std::int64_t>(context), result);
    return result;
}

LONG connect(SCARDCONTEXT context, const char* reader, DWORD shareMode, DWORD protocols,
             SCARDHANDLE* card, DWORD* activeProtocol) noexcept {
    *card = 0;
    *activeProtocol = 0;
    const LONG result = pcsc::connect(context, reader, shareMode, protocols, card, activeProtocol);
    if (trace::enabled()) {
        try {
            trace::record("connect", static_cast<std::int64_t>(*card), result, {}, {},
                          connectNote(shareMode, protocols, *activeProtocol, reader));
        } catch (...) {
            // No memory for the note: the trace loses the line, the caller nothing.
        }
    }
    return result;
}

LONG disconnect(SCARDHANDLE card, DWORD disposition) noexcept {
    const LONG result = SCardDisconnect(card, disposition);
    if (trace::enabled())
        trace::record("disconnect", static_cast<std::int64_t>(card), result, {}, {},
                      disposition == SCARD_LEAVE_CARD ? "leave" : "unpower");
    return result;
}

}  // namespace qvr::platform
