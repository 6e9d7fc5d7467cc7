#include "context_table.h"

#include <mutex>
#include <unordered_map>

namespace qvr {
namespace {

std::mutex tableMutex;
std::unordered_map<std::int32_t, SCARDCONTEXT>& table() {
    static std::unordered_map<std::int32_t, SCARDCONTEXT> contexts;
    return contexts;
}

}  // namespace

void rememberContext(std::int32_t card, SCARDCONTEXT context) {
    std::optional<SCARDCONTEXT> forgotten;
    {
        const std::lock_guard lock(tableMutex);
        auto [entry, inserted] = table().try_emplace(card, context);
        if (!inserted) {
            forgotten = entry->second;
            entry->second = context;
        }
    }
    if (forgotten) SCardReleaseContext(*forgotten);
}

std::optional<SCARDCONTEXT> takeContext(std::int32_t card) noexcept {
    const std::lock_guard lock(tableMutex);
    const auto entry = table().find(card);
    if (entry == table().end()) return std::nullopt;
    const SCARDCONTEXT context = entry->second;
    table().erase(entry);
    return context;
}

}  // namespace qvr
