#include "connection_check.h"

#include <reader.h>
#include <winscard.h>

#include <array>

namespace qvr::tools {

namespace {

constexpr const char* kSharedStep = "connect shared with T=0 or T=1";

// The handle as PC/SC has it; the library carries it as a 32-bit value.
SCARDHANDLE platformHandle(std::int32_t card) { return static_cast<SCARDHANDLE>(card); }

// One connect of the kind given; disconnects again at once when it succeeds.
long connectOnce(SCARDCONTEXT context, const std::string& reader, DWORD shareMode, DWORD protocols) {
    SCARDHANDLE handle = 0;
    DWORD active = 0;
    const long result = SCardConnect(context, reader.c_str(), shareMode, protocols, &handle, &active);
    if (result == SCARD_S_SUCCESS) SCardDisconnect(handle, SCARD_LEAVE_CARD);
    return result;
}

}  // namespace

ConnectionState inspectConnection(std::int32_t card) {
    ConnectionState state;
    std::array<char, MAX_READERNAME> name{};
    DWORD nameLength = name.size();
    DWORD readerState = 0;
    DWORD protocol = 0;
    std::array<std::uint8_t, MAX_ATR_SIZE> atr{};
    DWORD atrLength = atr.size();
    state.error = SCardStatus(platformHandle(card), name.data(), &nameLength, &readerState, &protocol, atr.data(),
                              &atrLength);
    if (state.error != SCARD_S_SUCCESS) return state;
    state.protocol = protocol;
    state.kind = (protocol & (SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1)) != 0 ? ConnectionKind::SharedCard
                                                                         : ConnectionKind::Direct;
    if ((readerState & SCARD_PRESENT) != 0 && atrLength <= atr.size())
        state.atr.assign(atr.begin(), atr.begin() + static_cast<std::ptrdiff_t>(atrLength));
    return state;
}

long tryEscape(std::int32_t card) {
    // ACR122U pseudo-APDU: the reader's firmware version, answered by the reader itself.
    const std::array<std::uint8_t, 5> getFirmware{0xFF, 0x00, 0x48, 0x00, 0x00};
    std::array<std::uint8_t, 64> answer{};
    auto escape = [&](DWORD code) {
        DWORD received = 0;
        return SCardControl(platformHandle(card), code, getFirmware.data(), getFirmware.size(), answer.data(),
                            answer.size(), &received);
    };
    // As the library does: Linux's CCID driver knows the escape as number 1 only.
    const long result = escape(SCARD_CTL_CODE(3500));
    return result == SCARD_E_UNSUPPORTED_FEATURE ? escape(SCARD_CTL_CODE(1)) : result;
}

ConnectFailure diagnoseConnect(const std::string& reader) {
    SCARDCONTEXT context = 0;
    if (const long result = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
        result != SCARD_S_SUCCESS)
        return {"SCardEstablishContext", result};
    ConnectFailure failure;
    const long shared =
        connectOnce(context, reader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1);
    if (shared == SCARD_E_NO_SMARTCARD || shared == SCARD_W_REMOVED_CARD) {
        const long direct = connectOnce(context, reader, SCARD_SHARE_DIRECT, 0);
        failure = direct != SCARD_S_SUCCESS ? ConnectFailure{"connect to the reader directly (no tag present)", direct}
                                            : ConnectFailure{kSharedStep, shared};
    } else if (shared != SCARD_S_SUCCESS) {
        failure = {kSharedStep, shared};
    }
    SCardReleaseContext(context);
    return failure;
}

}  // namespace qvr::tools
