#include "inherited_state.h"

void resetInheritedProcessState() noexcept {
    // Nothing to undo: a Windows process never reaps the processes it starts
    // and keeps no signal dispositions that the shell's hand-over depends on.
}
