// The four reader-presence queries. They share one behaviour: each answers only
// whether the PC/SC service lists a reader right now. None opens, reopens or
// probes anything; the card handle is required but not passed on.
#include "JMain.h"
#include "bridge_state.h"
#include "native_call.h"

using ferrow::bridgeState;
using ferrow::readyToCall;
using ferrow::runSerialised;

namespace {

// The reader library copies at most this many bytes, terminator included.
constexpr std::size_t kReaderNameSize = QVR_NAME_BUFFER_SIZE;

jboolean firstReaderIsListed() noexcept {
    return runSerialised<jboolean>(JNI_FALSE, []() -> bool {
        auto& state = bridgeState();
        if (!readyToCall(state, state.readerName)) return false;
        char name[kReaderNameSize] = {};  // the name itself is not needed
        state.lastResult = state.readerName(name);
        return state.lastResult == 1;
    });
}

}  // namespace

extern "C" JNIEXPORT jboolean JNICALL Java_JMain_NativeOpenReaderWriterAuto(JNIEnv*, jclass) {
    return firstReaderIsListed();
}

extern "C" JNIEXPORT jboolean JNICALL Java_JMain_NativeReaderWriterIsAlive(JNIEnv*, jclass) {
    return firstReaderIsListed();
}

extern "C" JNIEXPORT jboolean JNICALL Java_JMain_NativeReaderWriterIsOpen(JNIEnv*, jclass) {
    return firstReaderIsListed();
}

extern "C" JNIEXPORT jboolean JNICALL Java_JMain_NativeReconnectReaderWriter(JNIEnv*, jclass) {
    return firstReaderIsListed();
}
