// Run-time binding of the reader library: the bridge does not link it, it loads it
// by file name when Java asks and looks up the seven entry points it forwards to,
// and the disconnect that lets a second connect free the first.
#ifndef FERROW_READER_BINDING_H
#define FERROW_READER_BINDING_H

#include "bridge_state.h"

namespace ferrow {

// Loads the reader library through the platform's loader (library_loader.h; loading
// it again hands back the same module, which is never unloaded) and binds the entry
// points in a fixed order, each slot written right after its lookup. The first
// missing name stops the binding: the slots before it stay usable, the ones after
// it keep what they held. oDisconnectPCSCReader is looked up after them in every
// case; its slot is null when the library lacks it, which changes no result.
// True only when all seven are bound.
bool bindReaderLibrary(BridgeState& state) noexcept;

}  // namespace ferrow

#endif
