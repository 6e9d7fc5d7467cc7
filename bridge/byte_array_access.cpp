#include "byte_array_access.h"

namespace ferrow {

jsize arrayLengthOrMinusOne(JNIEnv* env, jbyteArray array) noexcept {
    return array == nullptr ? -1 : env->GetArrayLength(array);
}

PinnedByteArray::PinnedByteArray(JNIEnv* env, jbyteArray array) noexcept
    : env_(env), array_(array) {
    if (array_ == nullptr) return;
    elements_ = env_->GetByteArrayElements(array_, nullptr);
    if (elements_ == nullptr) {
        if (env_->ExceptionCheck() == JNI_TRUE) env_->ExceptionClear();
        return;
    }
    length_ = env_->GetArrayLength(array_);
}

PinnedByteArray::~PinnedByteArray() {
    if (elements_ != nullptr) env_->ReleaseByteArrayElements(array_, elements_, 0);
}

}  // namespace ferrow
