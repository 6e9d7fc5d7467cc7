// One command exchange with the card that polling found. On success the Java
// response array receives 0xC2 followed by the response bytes; on failure it
// receives the status word as two bytes. Both layouts are bounded by the array's
// real length, and the arguments are checked before anything is sent.
#include <algorithm>
#include <cstring>

#include "JMain.h"
#include "bridge_state.h"
#include "byte_array_access.h"
#include "native_call.h"
#include "status_bytes.h"

using ferrow::bridgeState;
using ferrow::PinnedByteArray;

namespace {

constexpr std::int32_t kExchangeCapacity = QVR_CAPACITY_MAX;
constexpr std::uint8_t kSuccessMarker = 0xC2;
constexpr std::int32_t kStatusByteCount = 2;
// ISO 7816 "wrong length": the response array cannot take the answer.
constexpr std::int32_t kWrongLength = 0x6700;

using ExchangeBuffer = std::uint8_t[kExchangeCapacity];

// The command array must really hold the bytes the library will read.
bool commandIsReadable(const PinnedByteArray& command, jint length) noexcept {
    return command.pinned() && length >= 0 && length <= command.length();
}

// Status bytes made from the status text, as many as the response array takes.
void writeFailureLayout(const PinnedByteArray& target, ExchangeBuffer& exchangeBuffer,
                        std::int32_t status) noexcept {
    ferrow::writeStatusBytes(status, exchangeBuffer);
    const auto count = std::min<jsize>(kStatusByteCount, target.length());
    if (count > 0) std::memcpy(target.bytes(), exchangeBuffer, static_cast<std::size_t>(count));
}

// 0xC2 and the response bytes, when the array takes them all.
bool writeSuccessLayout(const PinnedByteArray& target, const ExchangeBuffer& exchangeBuffer,
                        std::int32_t responseLength) noexcept {
    const bool plausible = responseLength >= 0 && responseLength <= kExchangeCapacity;
    if (!plausible || responseLength >= target.length()) return false;
    std::memcpy(target.bytes() + 1, exchangeBuffer, static_cast<std::size_t>(responseLength));
    target.bytes()[0] = kSuccessMarker;
    return true;
}

jint exchangeWithCard(JNIEnv* env, jbyte type, jint length, jbyteArray command,
                      jbyteArray response) {
    ExchangeBuffer exchangeBuffer = {};
    const PinnedByteArray commandBytes(env, command);
    auto& state = bridgeState();
    if (!ferrow::readyToCall(state, state.sendTo)) return 0;
    if (!commandIsReadable(commandBytes, length) || response == nullptr) return 0;

    // The Java byte is widened with its sign: (byte)0xFF reaches the library as -1.
    state.lastResult = state.sendTo(state.cardHandle, type, commandBytes.bytes(), length,
                                    exchangeBuffer, kExchangeCapacity, &state.exchangeLength);
    const PinnedByteArray target(env, response);
    if (!target.pinned()) return 0;
    // Raw exchanges (type 10) answer with a byte count, which is never 0x9000:
    // they always come back through the failure layout.
    if (state.lastResult == QVR_SW_SUCCESS) {
        if (writeSuccessLayout(target, exchangeBuffer, state.exchangeLength)) return state.exchangeLength + 1;
        writeFailureLayout(target, exchangeBuffer, kWrongLength);
        return 0;
    }
    writeFailureLayout(target, exchangeBuffer, state.lastResult);
    return 0;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_JMain_NativeRequestResponse(JNIEnv* env, jclass, jint /*ignored*/,
                                                                  jbyte type, jint length,
                                                                  jbyteArray command, jbyteArray response) {
    return ferrow::runSerialised<jint>(0, [&] { return exchangeWithCard(env, type, length, command, response); });
}
