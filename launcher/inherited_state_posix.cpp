#include "inherited_state.h"

#include <csignal>

namespace vanto {

void resetInheritedProcessState() noexcept {
    // An inherited "ignore SIGCHLD" would make the kernel reap our helper child
    // behind our back; the default keeps the hand-over's bookkeeping exact.
    std::signal(SIGCHLD, SIG_DFL);
}

}  // namespace vanto
