// The two methods that set the bridge up: binding the reader library, and
// connecting to the first PC/SC reader to obtain the card handle.
#include "JMain.h"
#include "bridge_state.h"
#include "native_call.h"
#include "reader_binding.h"

using ferrow::bridgeState;
using ferrow::runSerialised;

extern "C" JNIEXPORT jboolean JNICALL Java_JMain_NativeInitInstance(JNIEnv*, jclass) {
    return runSerialised<jboolean>(JNI_FALSE, []() -> bool {
        return ferrow::bindReaderLibrary(bridgeState());
    });
}

namespace {

// Each connection holds a PC/SC context and a pcscd connection until it is
// disconnected; pcscd refuses a client after a few hundred. The previous one is
// let go before a new one is made, when the reader library offers the disconnect.
void releaseHeldConnection(ferrow::BridgeState& state) noexcept {
    if (state.disconnectReader == nullptr || state.cardHandle == 0) return;
    state.lastResult = state.disconnectReader(state.cardHandle);
    state.cardHandle = 0;
}

}  // namespace

// Stores whatever the connect returns, even 0: a failed re-connect leaves the
// bridge without a card until the next one succeeds.
extern "C" JNIEXPORT jboolean JNICALL Java_JMain_NativeInitializeACR122(JNIEnv*, jclass) {
    return runSerialised<jboolean>(JNI_FALSE, []() -> bool {
        auto& state = bridgeState();
        if (state.connectReader == nullptr) return false;
        releaseHeldConnection(state);
        state.cardHandle = state.connectReader();
        return state.cardHandle != 0;
    });
}
