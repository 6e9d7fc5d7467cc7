#include "reader_listing.h"

#include <winscard.h>

std::vector<std::string> listReaders(std::string& error) {
    std::vector<std::string> names;
    SCARDCONTEXT context = 0;
    LONG result = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    if (result != SCARD_S_SUCCESS) {
        error = pcsc_stringify_error(result);
        return names;
    }
    char* list = nullptr;
    DWORD length = SCARD_AUTOALLOCATE;
    result = SCardListReaders(context, nullptr, reinterpret_cast<LPSTR>(&list), &length);
    if (result == SCARD_S_SUCCESS && list != nullptr) {
        for (const char* name = list; *name != '\0' && name < list + length; name += names.back().size() + 1)
            names.emplace_back(name);
        SCardFreeMemory(context, list);
    } else {
        error = pcsc_stringify_error(result);
    }
    SCardReleaseContext(context);
    return names;
}
