// Remembers which PC/SC context belongs to each card handle that a connect handed
// out, how the handle reaches the reader (T=0, T=1, or directly through the escape)
// and, for a direct handle, which escape number its driver took, so that a
// disconnect can release the context too and the engine knows how to reach the
// reader. Guarded by a mutex: the table is the library's only shared data.
#ifndef QVR_ACR122_CONTEXT_TABLE_H
#define QVR_ACR122_CONTEXT_TABLE_H

#include <cstdint>
#include <optional>

#include "pcsc_platform.h"
#include "reader_link.h"

namespace qvr {

// Records the context of a new connection. A context still recorded under the same
// handle belongs to a connection the platform has already forgotten; it is released.
void rememberContext(std::int32_t card, SCARDCONTEXT context, Link link = Link::kCardT0);

// Removes and returns the context recorded for the handle, if any.
std::optional<SCARDCONTEXT> takeContext(std::int32_t card) noexcept;

// How the handle reaches the reader; T=0 for a handle the table does not know. Each
// recorded handle that is not a T=0 one also counts in wireAttention, so the engine
// asks only while there is one.
Link linkOf(std::int32_t card) noexcept;

// The escape number to send on a direct handle: the one its driver took last, else
// the first one to try.
DWORD escapeCodeOf(std::int32_t card) noexcept;

// The driver of a recorded handle took this escape number.
void rememberEscapeCode(std::int32_t card, DWORD code) noexcept;

}  // namespace qvr

#endif
