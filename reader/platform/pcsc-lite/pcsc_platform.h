// The PC/SC service on Linux: pcsc-lite. Its functions carry one name for the
// single-byte strings the library uses; the library calls them through these
// wrappers so that the same logic builds on WinSCard too.
#ifndef QVR_ACR122_PCSC_PLATFORM_H
#define QVR_ACR122_PCSC_PLATFORM_H

#include <winscard.h>

namespace qvr::pcsc {

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
