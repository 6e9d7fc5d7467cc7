#include "fake_jni_env.h"

#include <algorithm>

namespace ferrow::testing {
namespace {

// Declared JNICALL like the table's slots: on 32-bit Windows the bridge calls them
// with stdcall and each one must pop its own arguments.
jsize JNICALL getArrayLength(JNIEnv*, jarray array) {
    return static_cast<jsize>(FakeByteArray::of(array).bytes().size());
}

jbyte* JNICALL getByteArrayElements(JNIEnv*, jbyteArray array, jboolean* isCopy) {
    auto& fake = FakeByteArray::of(array);
    auto* copy = new jbyte[fake.bytes().size() + 1];  // + 1: an empty array still gets a pointer
    std::copy(fake.bytes().begin(), fake.bytes().end(), reinterpret_cast<std::uint8_t*>(copy));
    ++fake.copiesHeld();
    if (isCopy != nullptr) *isCopy = JNI_TRUE;
    return copy;
}

// Mode 0 copies back and frees, JNI_COMMIT only copies back, JNI_ABORT only frees.
void JNICALL releaseByteArrayElements(JNIEnv*, jbyteArray array, jbyte* elements, jint mode) {
    auto& fake = FakeByteArray::of(array);
    if (mode != JNI_ABORT) {
        const auto* source = reinterpret_cast<const std::uint8_t*>(elements);
        std::copy(source, source + fake.bytes().size(), fake.bytes().begin());
    }
    if (mode != JNI_COMMIT) {
        delete[] elements;
        --fake.copiesHeld();
    }
}

// The fake never raises an exception.
jboolean JNICALL exceptionCheck(JNIEnv*) { return JNI_FALSE; }
void JNICALL exceptionClear(JNIEnv*) {}

}  // namespace

FakeJniEnv::FakeJniEnv() noexcept {
    functions_.GetArrayLength = getArrayLength;
    functions_.GetByteArrayElements = getByteArrayElements;
    functions_.ReleaseByteArrayElements = releaseByteArrayElements;
    functions_.ExceptionCheck = exceptionCheck;
    functions_.ExceptionClear = exceptionClear;
    env_.functions = &functions_;
}

}  // namespace ferrow::testing
