#include "bridge_state.h"

namespace ferrow {
namespace {

// Static storage with constant initialisation: zero before any code of the library
// runs, so there is nothing to do at load time.
constinit BridgeState state{};

}  // namespace

BridgeState& bridgeState() noexcept { return state; }

}  // namespace ferrow
