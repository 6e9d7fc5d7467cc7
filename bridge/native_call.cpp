#include "native_call.h"

namespace ferrow {

std::mutex& bridgeLock() noexcept {
    static std::mutex lock;  // constexpr constructor: ready before the first call
    return lock;
}

}  // namespace ferrow
