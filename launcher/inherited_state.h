// What a process may inherit from whoever started it and must not pass on to
// the handler it starts.
#ifndef VANTO_INHERITED_STATE_H
#define VANTO_INHERITED_STATE_H

namespace vanto {

// Puts back the defaults the hand-over relies on. Called once, first thing.
void resetInheritedProcessState() noexcept;

}  // namespace vanto

#endif
