#include "context_table.h"

#include <mutex>
#include <unordered_map>

#include "platform_calls.h"
#include "wire_attention.h"

namespace qvr {
namespace {

struct Connection {
    SCARDCONTEXT context;
    Link link;
    DWORD escapeCode;
};

std::mutex tableMutex;
std::unordered_map<std::int32_t, Connection>& table() {
    static std::unordered_map<std::int32_t, Connection> connections;
    return connections;
}

// Keeps the count of entries the engine must look up in step with the table;
// called under the lock.
void count(const Connection& connection, int change) {
    if (connection.link != Link::kCardT0) wireAttention.fetch_add(change, std::memory_order_acq_rel);
}

}  // namespace

void rememberContext(std::int32_t card, SCARDCONTEXT context, Link link) {
    std::optional<SCARDCONTEXT> forgotten;
    {
        const std::lock_guard lock(tableMutex);
        const Connection connection{context, link, pcsc::kEscapeControlCode};
        auto [entry, inserted] = table().try_emplace(card, connection);
        if (!inserted) {
            forgotten = entry->second.context;
            count(entry->second, -1);
            entry->second = connection;
        }
        count(connection, +1);
    }
    if (forgotten) platform::releaseContext(*forgotten);
}

std::optional<SCARDCONTEXT> takeContext(std::int32_t card) noexcept {
    const std::lock_guard lock(tableMutex);
    const auto entry = table().find(card);
    if (entry == table().end()) return std::nullopt;
    const SCARDCONTEXT context = entry->second.context;
    count(entry->second, -1);
    table().erase(entry);
    return context;
}

Link linkOf(std::int32_t card) noexcept {
    const std::lock_guard lock(tableMutex);
    const auto entry = table().find(card);
    return entry != table().end() ? entry->second.link : Link::kCardT0;
}

DWORD escapeCodeOf(std::int32_t card) noexcept {
    const std::lock_guard lock(tableMutex);
    const auto entry = table().find(card);
    return entry != table().end() ? entry->second.escapeCode : pcsc::kEscapeControlCode;
}

void rememberEscapeCode(std::int32_t card, DWORD code) noexcept {
    const std::lock_guard lock(tableMutex);
    const auto entry = table().find(card);
    if (entry != table().end()) entry->second.escapeCode = code;
}

}  // namespace qvr
