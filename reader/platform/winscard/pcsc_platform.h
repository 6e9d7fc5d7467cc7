// The PC/SC service on Windows: WinSCard. Reader names are single-byte strings
// here, so the library calls the "A" functions by their own names, whatever
// UNICODE says.
#ifndef QVR_ACR122_PCSC_PLATFORM_H
#define QVR_ACR122_PCSC_PLATFORM_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winscard.h>

namespace qvr::pcsc {

// The CCID escape: a command for the reader itself on a direct connection. WinSCard's
// own macro builds a device I/O control code from the function number 3500.
constexpr DWORD kEscapeControlCode = SCARD_CTL_CODE(3500);
// Windows' CCID drivers know only 3500: no second number to try.
constexpr DWORD kFallbackEscapeControlCode = kEscapeControlCode;

// The protocols a shared connect asks for: T=0, which the reader's Windows drivers
// offer, and under which it announces each answer with 61 Le.
constexpr DWORD kCardProtocols = SCARD_PROTOCOL_T0;

inline LONG connect(SCARDCONTEXT context, LPCSTR reader, DWORD shareMode, DWORD protocols,
                    SCARDHANDLE* card, DWORD* activeProtocol) noexcept {
    return SCardConnectA(context, reader, shareMode, protocols, card, activeProtocol);
}

// All reader names, as one run of NUL-terminated strings the service allocates.
inline LONG listReaders(SCARDCONTEXT context, LPSTR readers, DWORD* length) noexcept {
    return SCardListReadersA(context, nullptr, readers, length);
}

}  // namespace qvr::pcsc

#endif
