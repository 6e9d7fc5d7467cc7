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

// Stores whatever the connect returns, even 0 over a working handle: a failed
// re-connect leaves the bridge without a card until the next one succeeds. An
// earlier connection is never closed.
extern "C" JNIEXPORT jboolean JNICALL Java_JMain_NativeInitializeACR122(JNIEnv*, jclass) {
    return runSerialised<jboolean>(JNI_FALSE, []() -> bool {
        auto& state = bridgeState();
        if (state.connectReader == nullptr) return false;
        state.cardHandle = state.connectReader();
        return state.cardHandle != 0;
    });
}
