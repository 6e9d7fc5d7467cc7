#include "inherited_state.h"

namespace vanto {

void resetInheritedProcessState() noexcept {
    // Nothing to undo: a Windows process never reaps the processes it starts
    // and keeps no signal dispositions that the shell's hand-over depends on.
}

}  // namespace vanto
