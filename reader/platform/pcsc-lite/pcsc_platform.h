// The PC/SC service on Linux: pcsc-lite. Its functions carry one name for the
// single-byte strings the library uses; the library calls them through these
// wrappers so that the same logic builds on WinSCard too.
#ifndef QVR_ACR122_PCSC_PLATFORM_H
#define QVR_ACR122_PCSC_PLATFORM_H

#include <reader.h>
#include <winscard.h>

namespace qvr::pcsc {

// The CCID escape: a command for the reader itself on a direct connection, which the
// ACR122U takes when no card is there to carry it (pcsc-lite numbers it 0x42000DAC).
constexpr DWORD kEscapeControlCode = SCARD_CTL_CODE(3500);
// Linux's CCID driver knows its vendor escape as function 1 (0x42000001) and refuses
// 3500 as an unsupported feature; the same escape is then sent under this number.
constexpr DWORD kFallbackEscapeControlCode = SCARD_CTL_CODE(1);

// The protocols a shared connect asks for. The CCID driver offers only T=1 for the
// ACR122U (its CCID class descriptor lists dwProtocols 00000002) and fails a connect
// that asks for T=0 alone; asking for both lets pcscd choose T=1 there and T=0
// where a driver offers only that.
constexpr DWORD kCardProtocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;

inline LONG connect(SCARDCONTEXT context, LPCSTR reader, DWORD shareMode, DWORD protocols,
                    SCARDHANDLE* card, DWORD* activeProtocol) noexcept {
    return SCardConnect(context, reader, shareMode, protocols, card, activeProtocol);
}

// All reader names, as one run of NUL-terminated strings the service allocates.
inline LONG listReaders(SCARDCONTEXT context, LPSTR readers, DWORD* length) noexcept {
    return SCardListReaders(context, nullptr, readers, length);
}

}  // namespace qvr::pcsc

#endif
