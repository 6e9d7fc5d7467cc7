#include "first_reader_name.h"

#include <cstring>

namespace qvr {

bool copyFirstReaderName(SCARDCONTEXT context, char* name, std::size_t capacity) noexcept {
    char* list = nullptr;
    DWORD listLength = SCARD_AUTOALLOCATE;
    if (pcsc::listReaders(context, reinterpret_cast<LPSTR>(&list), &listLength) !=
            SCARD_S_SUCCESS ||
        list == nullptr)
        return false;

    // The list is a run of NUL-terminated names; only the first one counts.
    const std::size_t nameLength = strnlen(list, listLength);
    const bool fits = nameLength > 0 && nameLength < listLength && nameLength < capacity;
    if (fits) std::memcpy(name, list, nameLength + 1);
    SCardFreeMemory(context, list);
    return fits;
}

}  // namespace qvr
