// How the double shows its SCard functions on Linux: visible symbols of a shared
// library linked before the reader library, so that they take pcsc-lite's place.
#ifndef PCSC_DOUBLE_EXPORTS_H
#define PCSC_DOUBLE_EXPORTS_H

#include "pcsc_platform.h"

#define DOUBLE_API extern "C" __attribute__((visibility("default")))
#define DOUBLE_CALL

#endif
