// Remembers which PC/SC context belongs to each card handle that a connect handed
// out, and whether the connection is direct (to the reader, without a card), so
// that a disconnect can release the context too and the engine knows how to reach
// the reader. Guarded by a mutex: the table is the library's only shared data.
#ifndef QVR_ACR122_CONTEXT_TABLE_H
#define QVR_ACR122_CONTEXT_TABLE_H

#include <cstdint>
#include <optional>

#include "pcsc_platform.h"

namespace qvr {

// Records the context of a new connection. A context still recorded under the same
// handle belongs to a connection the platform has already forgotten; it is released.
void rememberContext(std::int32_t card, SCARDCONTEXT context, bool direct = false);

// Removes and returns the context recorded for the handle, if any.
std::optional<SCARDCONTEXT> takeContext(std::int32_t card) noexcept;

// Whether the handle is a direct connection. Each recorded direct connection also
// counts in wireAttention, so the engine asks only while there is one.
bool isDirect(std::int32_t card) noexcept;

}  // namespace qvr

#endif
