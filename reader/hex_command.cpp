#include "hex_command.h"

#include <cstring>

#include "convert_api.h"

namespace qvr {

std::int32_t composeCommand(WorkRecord& record, std::initializer_list<std::string_view> pieces) noexcept {
    std::size_t length = 0;
    for (const std::string_view piece : pieces) {
        if (piece.empty() || length + piece.size() > sizeof record.commandText) return -1;
        std::memcpy(record.commandText + length, piece.data(), piece.size());
        length += piece.size();
    }
    auto* text = reinterpret_cast<unsigned char*>(record.commandText);
    if (oAscii2Hex(static_cast<long>(length), text, record.commandBytes) != 1) return -1;
    return static_cast<std::int32_t>(length / 2);
}

std::string_view callerText(const char* text, std::size_t characters) noexcept {
    if (text == nullptr) return {};
    // Reading stops at a terminator: a caller that hands in a shorter, terminated
    // string gets a refusal, not a read past the end of its string.
    if (strnlen(text, characters) != characters) return {};
    return {text, characters};
}

}  // namespace qvr
