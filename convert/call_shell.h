// The call shell shared by every Hexkit export: one converter instance on the heap
// for this call, the operation run inside a guard that catches every exception, the
// instance released on every path, and 0 when anything was thrown (including a
// failed allocation of the instance itself).
#ifndef HEXKIT_CALL_SHELL_H
#define HEXKIT_CALL_SHELL_H

#include <memory>

#include "hexkit_converter.h"

namespace hexkit {

template <typename Result, typename Operation>
Result runInCallShell(Operation&& operation) noexcept {
    try {
        const auto converter = std::make_unique<HexkitConverter>();
        return operation(*converter);
    } catch (...) {
        return Result{0};
    }
}

}  // namespace hexkit

#endif
