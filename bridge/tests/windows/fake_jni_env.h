// A JNIEnv for calling the bridge's native methods without a JVM. It implements
// only what the bridge uses on byte arrays; every other slot of the function table
// is null, so a call the bridge should not make crashes the test.
//
// Elements are handed out as copies, as a JVM may do: changes reach the array only
// when they are released with mode 0, and every copy still held is counted, so a
// test sees both lost writes and copies that were never released.
#ifndef FERROW_TESTS_FAKE_JNI_ENV_H
#define FERROW_TESTS_FAKE_JNI_ENV_H

#include <jni.h>

#include <cstdint>
#include <vector>

namespace ferrow::testing {

class FakeByteArray {
public:
    explicit FakeByteArray(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    jbyteArray handle() noexcept { return reinterpret_cast<jbyteArray>(this); }
    static FakeByteArray& of(jarray handle) noexcept { return *reinterpret_cast<FakeByteArray*>(handle); }

    const std::vector<std::uint8_t>& bytes() const noexcept { return bytes_; }
    std::vector<std::uint8_t>& bytes() noexcept { return bytes_; }
    // Element copies handed out and not yet released.
    int copiesHeld() const noexcept { return copiesHeld_; }
    int& copiesHeld() noexcept { return copiesHeld_; }

private:
    std::vector<std::uint8_t> bytes_;
    int copiesHeld_ = 0;
};

class FakeJniEnv {
public:
    FakeJniEnv() noexcept;
    FakeJniEnv(const FakeJniEnv&) = delete;
    FakeJniEnv& operator=(const FakeJniEnv&) = delete;

    JNIEnv* env() noexcept { return &env_; }

private:
    JNINativeInterface_ functions_{};
    JNIEnv env_{};
};

}  // namespace ferrow::testing

#endif
