// Run-time binding of the reader library: the bridge does not link it, it loads it
// by file name when Java asks and looks up the seven entry points it forwards to.
#ifndef FERROW_READER_BINDING_H
#define FERROW_READER_BINDING_H

#include "bridge_state.h"

namespace ferrow {

// The library's bare file name: RUNPATH $ORIGIN finds one lying beside the bridge,
// otherwise the loader's usual search order applies.
inline constexpr const char* kReaderLibraryName = "libQVR-ACR122.so";

// Loads the reader library (again: the loader counts the loads and hands back the
// same module; it is never unloaded) and binds the entry points in a fixed order,
// each slot written right after its lookup. The first missing name stops the
// binding: the slots before it stay usable, the ones after it keep what they held.
// True only when all seven are bound.
bool bindReaderLibrary(BridgeState& state) noexcept;

}  // namespace ferrow

#endif
