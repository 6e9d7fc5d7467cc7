#include "chosen_reader_name.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform_calls.h"

namespace qvr {
namespace {

// The text a reader name must contain; empty means the first reader.
std::string_view wantedText() noexcept {
    const char* text = std::getenv("QVR_ACR122_READER");
    return text != nullptr ? std::string_view(text) : std::string_view();
}

// The list is a run of NUL-terminated names ended by an empty one. Returns the first
// name that contains wanted (any name when wanted is empty), or an empty view.
std::string_view pickName(const char* list, std::size_t listLength, std::string_view wanted) noexcept {
    std::size_t at = 0;
    while (at < listLength) {
        const std::string_view name(list + at, strnlen(list + at, listLength - at));
        // A name that runs to the end of the list without its NUL is not a name.
        if (name.empty() || at + name.size() == listLength) break;
        if (name.find(wanted) != std::string_view::npos) return name;
        at += name.size() + 1;
    }
    return {};
}

}  // namespace

bool copyChosenReaderName(SCARDCONTEXT context, char* name, std::size_t capacity) noexcept {
    char* list = nullptr;
    DWORD listLength = SCARD_AUTOALLOCATE;
    if (platform::listReaders(context, &list, &listLength) != SCARD_S_SUCCESS || list == nullptr)
        return false;

    const std::string_view chosen = pickName(list, listLength, wantedText());
    const bool fits = !chosen.empty() && chosen.size() < capacity;
    if (fits) std::memcpy(name, chosen.data(), chosen.size() + 1);
    SCardFreeMemory(context, list);
    return fits;
}

}  // namespace qvr
