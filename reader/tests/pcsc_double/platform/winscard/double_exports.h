// How the double shows its SCard functions on Windows: it is built as a DLL named
// winscard.dll that lies beside the test programs, so that the reader library's
// imports from WinSCard land here. The functions keep WinSCard's calling
// convention, the protocol-information records are exported data as in WinSCard.
#ifndef PCSC_DOUBLE_EXPORTS_H
#define PCSC_DOUBLE_EXPORTS_H

#define WINSCARDDATA __declspec(dllexport)
#include "pcsc_platform.h"

#define DOUBLE_API extern "C" __declspec(dllexport)
#define DOUBLE_CALL WINAPI

#endif
