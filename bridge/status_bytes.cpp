#include "status_bytes.h"

#include <cstdio>
#include <optional>

#include "vocabulary/hex_text.h"

namespace ferrow {
namespace {

// Up to eight hex digits of a 32-bit value and the terminator.
constexpr std::size_t kStatusTextSize = 9;

// A terminator is no digit: a text shorter than four characters does not decode.
std::optional<std::uint8_t> decodePair(const char* pair) noexcept {
    const auto high = qvr::hexDigitValue(static_cast<unsigned char>(pair[0]));
    if (!high) return std::nullopt;
    const auto low = qvr::hexDigitValue(static_cast<unsigned char>(pair[1]));
    if (!low) return std::nullopt;
    return static_cast<std::uint8_t>(*high * 16 + *low);
}

}  // namespace

void writeStatusBytes(std::int32_t status, std::uint8_t* target) noexcept {
    char text[kStatusTextSize] = {};
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned int>(status));
    const auto first = decodePair(text);
    // The second pair is only looked at when the first decoded, so it never reads
    // past the terminator of a one-character text.
    const auto second = first ? decodePair(text + 2) : std::nullopt;
    if (!first || !second) {
        target[0] = kUndecodableStatusMarker;
        return;
    }
    target[0] = *first;
    target[1] = *second;
}

}  // namespace ferrow
