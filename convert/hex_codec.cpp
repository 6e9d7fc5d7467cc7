// Hex text <-> bytes, and hex text -> 32-bit value.
//
// Both directions assemble their whole result in a working buffer of the call and
// copy it out only at the end, so the caller may convert a buffer in place and never
// sees a half-converted result.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "hexkit_converter.h"
#include "vocabulary/hex_text.h"

namespace hexkit {

namespace {

constexpr long kWorkingBufferSize = 1024;
constexpr long kMaxTextLength = 2 * kWorkingBufferSize;  // characters in, for oAscii2Hex
constexpr long kMaxByteCount = kWorkingBufferSize / 2;   // bytes in, for oHex2Ascii
constexpr unsigned char kFailureMarker = 0xFF;

long refuseAscii2Hex(unsigned char* out) {
    if (out != nullptr) out[0] = kFailureMarker;
    return 0;
}

}  // namespace

long HexkitConverter::ascii2Hex(long len, const unsigned char* text, unsigned char* out) const {
    if (out == nullptr || text == nullptr) return refuseAscii2Hex(out);
    // The codec works on pairs: an odd length would pair its last digit with a
    // character beyond the text.
    if (len < 0 || len > kMaxTextLength || len % 2 != 0) return refuseAscii2Hex(out);

    std::array<unsigned char, kWorkingBufferSize> working{};
    const auto byteCount = static_cast<std::size_t>(len / 2);
    for (std::size_t i = 0; i < byteCount; ++i) {
        const auto high = qvr::hexDigitValue(text[2 * i]);
        if (!high) return refuseAscii2Hex(out);
        const auto low = qvr::hexDigitValue(text[2 * i + 1]);
        if (!low) return refuseAscii2Hex(out);
        working[i] = static_cast<unsigned char>(*high * 16 + *low);
    }
    std::memcpy(out, working.data(), byteCount);
    out[byteCount] = 0;
    return 1;
}

long HexkitConverter::hex2Ascii(long len, const unsigned char* bytes, unsigned char* out) const {
    if (bytes == nullptr || out == nullptr || len < 0 || len > kMaxByteCount) return 0;

    std::array<unsigned char, kWorkingBufferSize> working{};
    const auto byteCount = static_cast<std::size_t>(len);
    for (std::size_t i = 0; i < byteCount; ++i) {
        working[2 * i] = static_cast<unsigned char>(qvr::upperHexDigit(bytes[i] >> 4));
        working[2 * i + 1] = static_cast<unsigned char>(qvr::upperHexDigit(bytes[i]));
    }
    std::memcpy(out, working.data(), 2 * byteCount);
    out[2 * byteCount] = 0;
    return 1;
}

long HexkitConverter::hexToLong(const char* text) const {
    if (text == nullptr) return 0;
    std::uint32_t value = 0;  // wraps modulo 2^32: only the last eight digits count
    for (const char* c = text; *c != '\0'; ++c) {
        const auto digit = qvr::hexDigitValue(static_cast<unsigned char>(*c));
        if (!digit) break;
        value = value * 16u + *digit;
    }
    return static_cast<long>(static_cast<std::int32_t>(value));
}

}  // namespace hexkit
