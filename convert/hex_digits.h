// Hex digit rules shared by the codec: '0'-'9', 'A'-'F' and 'a'-'f' are digits,
// upper and lower case have the same value, and text is produced in upper case.
#ifndef HEXKIT_HEX_DIGITS_H
#define HEXKIT_HEX_DIGITS_H

#include <optional>

namespace hexkit {

constexpr std::optional<unsigned> hexDigitValue(unsigned char c) noexcept {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return std::nullopt;
}

constexpr char upperHexDigit(unsigned value) noexcept {
    return "0123456789ABCDEF"[value & 0x0Fu];
}

}  // namespace hexkit

#endif
