// Reader housekeeping and polling: the retry setting, automatic polling for the
// tag type, and closing (deselect the tag, then switch the RF field off).
#include "JMain.h"
#include "bridge_state.h"
#include "native_call.h"

using ferrow::bridgeState;
using ferrow::readyToCall;
using ferrow::runSerialised;

namespace {

// The poll period put into the chip's InAutoPoll command: one period of 150 ms.
constexpr const char* kPollPeriod = "01";

}  // namespace

extern "C" JNIEXPORT jboolean JNICALL Java_JMain_NativeSetRetryTimeToOne(JNIEnv*, jclass) {
    return runSerialised<jboolean>(JNI_FALSE, []() -> bool {
        auto& state = bridgeState();
        if (!readyToCall(state, state.setRetryTimeToOne)) return false;
        state.lastResult = state.setRetryTimeToOne(state.cardHandle, state.replyBuffer, &state.replyLength);
        return state.lastResult == QVR_SW_SUCCESS;
    });
}

// The tag type is not cleared before the call: when the library reports success
// without storing a type, the type of an earlier poll is returned again.
extern "C" JNIEXPORT jbyte JNICALL Java_JMain_NativePollingTags(JNIEnv*, jclass) {
    return runSerialised<jbyte>(0, [] {
        auto& state = bridgeState();
        if (!readyToCall(state, state.pollingTags)) return jbyte{0};
        state.lastResult = state.pollingTags(state.cardHandle, state.replyBuffer, &state.replyLength,
                                             &state.tagType, kPollPeriod);
        return state.lastResult == QVR_SW_SUCCESS ? static_cast<jbyte>(state.tagType) : jbyte{0};
    });
}

// The RF field goes off only after a successful deselect; a failed deselect
// leaves the field as it was. The connection and the card handle stay.
extern "C" JNIEXPORT jboolean JNICALL Java_JMain_NativeCloseReaderWriter(JNIEnv*, jclass) {
    return runSerialised<jboolean>(JNI_FALSE, []() -> bool {
        auto& state = bridgeState();
        if (state.turnOffAntennaPower == nullptr || !readyToCall(state, state.deselectTag)) return false;
        state.lastResult = state.deselectTag(state.cardHandle, state.replyBuffer, &state.replyLength);
        if (state.lastResult != QVR_SW_SUCCESS) return false;
        state.lastResult = state.turnOffAntennaPower(state.cardHandle, state.replyBuffer, &state.replyLength);
        return state.lastResult == QVR_SW_SUCCESS;
    });
}
