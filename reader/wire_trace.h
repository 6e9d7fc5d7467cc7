// The opt-in wire trace. QVR_ACR122_TRACE=stderr, or a file path, makes the library
// write one line for each PC/SC call it makes:
//
//   2026-12-08T13:38:55.123456Z handle=0x00001A2B transmit sent=FF00000002D402 received=6108 result=0x00000000 SCARD_S_SUCCESS
//
// The setting is read once per process, on the first platform call. The trace only
// watches: it never changes a result or a byte sent, and a sink that cannot be opened
// leaves it off without a word.
#ifndef QVR_ACR122_WIRE_TRACE_H
#define QVR_ACR122_WIRE_TRACE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qvr::trace {

enum State : int { kUnread = 0, kOff = 1, kOn = 2 };

// Starts unread (constant initialisation: the library does nothing when loaded).
extern std::atomic<int> state;

// Reads the setting and opens the sink, once per process; true when tracing.
bool settle() noexcept;

// Once settled, an untraced call pays one comparison here and nothing else.
inline bool enabled() noexcept {
    const int now = state.load(std::memory_order_acquire);
    if (now == kOff) return false;
    return now == kOn || settle();
}

struct ByteRun {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// Writes the line for one platform call. The handle is the card handle, or the
// context for context and reader-list calls; note is free text after the operation
// (the reader and share mode of a connect).
void record(std::string_view operation, std::int64_t handle, long result, ByteRun sent = {},
            ByteRun received = {}, std::string_view note = {}) noexcept;

}  // namespace qvr::trace

#endif
