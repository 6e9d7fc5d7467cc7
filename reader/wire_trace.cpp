#include "wire_trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pcsc_names.h"
#include "trace_sink.h"
#include "wire_attention.h"

namespace qvr::trace {
namespace {

int sink = -1;

bool openFromEnvironment() noexcept {
    const char* setting = std::getenv("QVR_ACR122_TRACE");
    if (setting != nullptr && *setting != '\0') sink = openSink(setting);
    if (sink < 0) wireAttention.fetch_sub(1, std::memory_order_acq_rel);
    return sink >= 0;
}

// UTC with microseconds, as ISO 8601: 2026-12-08T13:38:55.123456Z.
void appendTime(std::string& line) {
    using namespace std::chrono;
    const auto now = floor<microseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%06lldZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()),
                  static_cast<long long>(time.subseconds().count()));
    line += text;
}

// Handles are 32-bit values in a wider type; they print as the library passes them on.
void appendHandle(std::string& line, std::int64_t handle) {
    char text[32];
    if (handle == static_cast<std::int32_t>(handle))
        std::snprintf(text, sizeof text, " handle=0x%08X", static_cast<std::uint32_t>(handle));
    else
        std::snprintf(text, sizeof text, " handle=0x%016llX", static_cast<unsigned long long>(handle));
    line += text;
}

void appendHex(std::string& line, std::string_view label, ByteRun bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    line += label;
    for (std::size_t i = 0; i < bytes.size; ++i) {
        line += kDigits[bytes.data[i] >> 4];
        line += kDigits[bytes.data[i] & 0x0F];
    }
}

void appendResult(std::string& line, long result) {
    const auto code = static_cast<std::uint32_t>(result);
    char text[24];
    std::snprintf(text, sizeof text, " result=0x%08X ", code);
    line += text;
    line += pcscResultName(code);
}

}  // namespace

// A function-local static runs its initialiser exactly once, also when threads race.
bool enabled() noexcept {
    static const bool on = openFromEnvironment();
    return on;
}

void record(std::string_view operation, std::int64_t handle, long result, ByteRun sent,
            ByteRun received, std::string_view note) noexcept {
    try {
        std::string line;
        line.reserve(96 + 2 * (sent.size + received.size) + note.size());
        appendTime(line);
        appendHandle(line, handle);
        (line += ' ') += operation;
        if (!note.empty()) (line += ' ') += note;
        appendHex(line, " sent=", sent);
        appendHex(line, " received=", received);
        appendResult(line, result);
        line += '\n';
        writeLine(sink, line.data(), line.size());
    } catch (...) {
        // No memory for the line: the trace loses it, the caller loses nothing.
    }
}

}  // namespace qvr::trace
