// Remembers which PC/SC context belongs to each card handle that a connect handed
// out, and whether the connection is direct (to the reader, without a card), so
// that a disconnect can release the context too and the engine knows how to reach
// the reader. Guarded by a mutex: the table is the library's only shared data.
#ifndef QVR_ACR122_CONTEXT_TABLE_H
#define QVR_ACR122_CONTEXT_TABLE_H

#include <atomic>
#include <cstdint>
#include <optional>

#include "pcsc_platform.h"

namespace qvr {

// Records the context of a new connection. A context still recorded under the same
// handle belongs to a connection the platform has already forgotten; it is released.
void rememberContext(std::int32_t card, SCARDCONTEXT context, bool direct = false);

// Removes and returns the context recorded for the handle, if any.
std::optional<SCARDCONTEXT> takeContext(std::int32_t card) noexcept;

// How many recorded connections are direct. While there are none, which is the
// ordinary case of a card on the reader, the engine's question below costs one
// comparison and no lock.
extern std::atomic<int> directConnections;

bool isRecordedDirect(std::int32_t card) noexcept;

inline bool isDirect(std::int32_t card) noexcept {
    if (directConnections.load(std::memory_order_acquire) == 0) return false;
    return isRecordedDirect(card);
}

}  // namespace qvr

#endif
