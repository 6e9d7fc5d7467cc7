// Hex text in and out: the digits, "D4 02" or "d402" read into bytes, bytes written
// as spaced upper-case hex ("D5 03 32").
#ifndef QVR_VOCABULARY_HEX_TEXT_H
#define QVR_VOCABULARY_HEX_TEXT_H

#include <cctype>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

// '0'-'9', 'A'-'F' and 'a'-'f' are digits; both cases have the same value.
constexpr std::optional<unsigned> hexDigitValue(unsigned char c) noexcept {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return std::nullopt;
}

// The upper-case digit of the low four bits of value.
constexpr char upperHexDigit(unsigned value) noexcept { return "0123456789ABCDEF"[value & 0x0Fu]; }

// Where blanks may stand in hex text. Files group bytes for the eye and allow a
// space, tab or colon only between two bytes ("00 A4:04"); a command line also takes
// any white space or a colon between the two digits of a byte.
enum class HexSpacing { kBetweenBytes, kAnywhere };

// Two digits per byte, either case; nothing for an odd digit count or any other
// character.
inline std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text,
                                                         HexSpacing spacing = HexSpacing::kBetweenBytes) {
    std::vector<std::uint8_t> bytes;
    bool highPending = false;  // a byte's first digit is read, its second not yet
    unsigned high = 0;
    for (const char c : text) {
        const bool blank = spacing == HexSpacing::kAnywhere
                               ? std::isspace(static_cast<unsigned char>(c)) != 0 || c == ':'
                               : (c == ' ' || c == ':' || c == '\t') && !highPending;
        if (blank) continue;
        const auto value = hexDigitValue(static_cast<unsigned char>(c));
        if (!value) return std::nullopt;
        if (highPending) bytes.push_back(static_cast<std::uint8_t>(high * 16 + *value));
        high = *value;
        highPending = !highPending;
    }
    if (highPending) return std::nullopt;
    return bytes;
}

// Upper-case hex, bytes separated by single spaces.
inline std::string formatHex(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const std::uint8_t b : bytes) {
        if (!text.empty()) text.push_back(' ');
        text.push_back(upperHexDigit(b >> 4u));
        text.push_back(upperHexDigit(b));
    }
    return text;
}

}  // namespace qvr

#endif
