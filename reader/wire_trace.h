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

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qvr::trace {

// Whether the trace is on. The first call reads the setting and opens the sink;
// later calls return what it found. An untraced engine does not even ask (see
// wire_attention.h): a trace that is off gives up its count there.
bool enabled() noexcept;

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
