// The reader the library uses: the first one PC/SC lists or, when the environment
// variable QVR_ACR122_READER is set and not empty, the first whose name contains its
// text (case-sensitive). The variable is read at each call, so a program can change
// its choice between connects.
#ifndef QVR_ACR122_CHOSEN_READER_NAME_H
#define QVR_ACR122_CHOSEN_READER_NAME_H

#include <cstddef>

#include "pcsc_platform.h"

namespace qvr {

// Copies the chosen reader's name with its NUL into name (room for capacity bytes).
// Returns false, with name untouched, when the list cannot be had, no reader is
// chosen, or the chosen name does not fit. The platform's list is freed on every path.
bool copyChosenReaderName(SCARDCONTEXT context, char* name, std::size_t capacity) noexcept;

}  // namespace qvr

#endif
