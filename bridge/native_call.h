// How every native method runs its body: under the one process-wide lock that
// keeps two Java threads from sharing the bridge state at once, and with every
// C++ exception turned into the method's failure result, so that none reaches the
// Java VM.
#ifndef FERROW_NATIVE_CALL_H
#define FERROW_NATIVE_CALL_H

#include <mutex>

namespace ferrow {

std::mutex& bridgeLock() noexcept;

template <typename Result, typename Body>
Result runSerialised(Result failure, Body&& body) noexcept {
    try {
        const std::lock_guard<std::mutex> hold(bridgeLock());
        return body();
    } catch (...) {
        return failure;
    }
}

}  // namespace ferrow

#endif
