#include "reader_listing.h"

#include <winscard.h>

#include <string_view>

namespace qvr::tools {

std::vector<std::string> listReaders(long& error) {
    std::vector<std::string> names;
    SCARDCONTEXT context = 0;
    error = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    if (error != SCARD_S_SUCCESS) return names;
    char* list = nullptr;
    DWORD length = SCARD_AUTOALLOCATE;
    error = SCardListReaders(context, nullptr, reinterpret_cast<LPSTR>(&list), &length);
    if (error == SCARD_S_SUCCESS && list != nullptr) {
        for (const char* name = list; *name != '\0' && name < list + length; name += names.back().size() + 1)
            names.emplace_back(name);
        SCardFreeMemory(context, list);
    }
    if (error == SCARD_S_SUCCESS && names.empty()) error = SCARD_E_NO_READERS_AVAILABLE;
    SCardReleaseContext(context);
    return names;
}

std::optional<std::size_t> chooseReader(const std::vector<std::string>& names, const char* text) {
    const std::string_view wanted = text != nullptr ? text : "";
    for (std::size_t i = 0; i < names.size(); ++i)
        if (wanted.empty() || names[i].find(wanted) != std::string::npos) return i;
    return std::nullopt;
}

}  // namespace qvr::tools
