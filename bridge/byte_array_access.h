// Access to the elements of a Java byte array for the length of one native call.
// The elements are obtained on construction and released with mode 0 (copy back
// and free) on destruction, so they are released on every path out of the call.
#ifndef FERROW_BYTE_ARRAY_ACCESS_H
#define FERROW_BYTE_ARRAY_ACCESS_H

#include <jni.h>

#include <cstdint>

namespace ferrow {

// Length of a Java array, or -1 for a null reference.
jsize arrayLengthOrMinusOne(JNIEnv* env, jbyteArray array) noexcept;

class PinnedByteArray {
public:
    // A null array pins nothing. When the VM cannot provide the elements it may
    // have raised OutOfMemoryError; the bridge reports failures through its
    // results only, so that exception is cleared.
    PinnedByteArray(JNIEnv* env, jbyteArray array) noexcept;
    ~PinnedByteArray();

    PinnedByteArray(const PinnedByteArray&) = delete;
    PinnedByteArray& operator=(const PinnedByteArray&) = delete;

    bool pinned() const noexcept { return elements_ != nullptr; }
    // Number of elements; 0 when nothing is pinned.
    jsize length() const noexcept { return length_; }
    std::uint8_t* bytes() const noexcept { return reinterpret_cast<std::uint8_t*>(elements_); }

private:
    JNIEnv* env_;
    jbyteArray array_;
    jbyte* elements_ = nullptr;
    jsize length_ = 0;
};

}  // namespace ferrow

#endif
