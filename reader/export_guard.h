// How every export keeps exceptions and allocation failures inside the library:
// each export owns one WorkRecord for its call, and whatever escapes its body
// becomes the export's fixed fallback code. Nothing crosses the C boundary.
#ifndef QVR_ACR122_EXPORT_GUARD_H
#define QVR_ACR122_EXPORT_GUARD_H

#include <cstdint>
#include <memory>
#include <new>

#include "work_record.h"

namespace qvr {

// The library's own exception class. Three exports convert only this class into
// their fallback code on purpose; see runGuardedAgainstSocketErrors.
class CSocketException {};

// Which exceptions an export converts into its fallback code.
enum class GuardKind {
    AnyException,        // every exception
    SocketExceptionOnly  // CSocketException by value; anything else still may not leave
};

// Allocates the call's record (released on every path) and runs the body with it.
// A record that cannot be allocated yields the fallback code.
template <typename Body>
std::int32_t withWorkRecord(std::int32_t fallback, Body&& body) noexcept {
    std::unique_ptr<WorkRecord> record(new (std::nothrow) WorkRecord);
    if (!record) return fallback;
    try {
        return body(*record);
    } catch (...) {
        return fallback;
    }
}

// Runs an export body under its guard. For SocketExceptionOnly the dedicated
// handler is the guard proper; the catch-all behind it only keeps a foreign
// exception from crossing the C boundary and reports the same code.
template <typename Body>
std::int32_t runGuarded(GuardKind kind, std::int32_t fallback, Body&& body) noexcept {
    return withWorkRecord(fallback, [&](WorkRecord& record) -> std::int32_t {
        if (kind == GuardKind::SocketExceptionOnly) {
            try {
                return body(record);
            } catch (CSocketException) {
                return fallback;
            }
        }
        return body(record);
    });
}

}  // namespace qvr

#endif
