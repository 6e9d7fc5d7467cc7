// The library's PC/SC calls for contexts, reader lists and connections. Each goes to
// the platform unchanged and, when the wire trace is on, leaves one line there.
#ifndef QVR_ACR122_PLATFORM_CALLS_H
#define QVR_ACR122_PLATFORM_CALLS_H

#include "pcsc_platform.h"

namespace qvr::platform {

LONG establishContext(SCARDCONTEXT* context) noexcept;
LONG releaseContext(SCARDCONTEXT context) noexcept;
// All reader names, as one run of NUL-terminated strings the service allocates.
LONG listReaders(SCARDCONTEXT context, char** list, DWORD* length) noexcept;
LONG connect(SCARDCONTEXT context, const char* reader, DWORD shareMode, DWORD protocols,
             SCARDHANDLE* card, DWORD* activeProtocol) noexcept;
LONG disconnect(SCARDHANDLE card, DWORD disposition) noexcept;

}  // namespace qvr::platform

#endif
