// The name of the first reader that PC/SC lists: the reader the library uses.
#ifndef QVR_ACR122_FIRST_READER_NAME_H
#define QVR_ACR122_FIRST_READER_NAME_H

#include <cstddef>

#include "pcsc_platform.h"

namespace qvr {

// Copies the first listed reader's name with its NUL into name (room for capacity
// bytes). Returns false, with name untouched, when the list cannot be had, is empty,
// or the first name does not fit. The platform's list is freed on every path.
bool copyFirstReaderName(SCARDCONTEXT context, char* name, std::size_t capacity) noexcept;

}  // namespace qvr

#endif
