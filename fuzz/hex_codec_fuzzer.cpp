// Hex codec on arbitrary text and lengths, in place and into separate buffers.
// Checks: the result is all-or-nothing, in-place equals separate, nothing is written
// past len/2 + 1 (or 2*len + 1) bytes, and bytes -> text -> bytes is the identity.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "convert_api.h"

namespace {

// Aborts, naming the failed check's line, so the fuzzer keeps the input that broke it.
void check(bool condition, int line = __builtin_LINE()) {
    if (condition) return;
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}

bool isHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void ascii2Hex(FuzzedDataProvider& input) {
    const long len = input.ConsumeIntegralInRange<long>(-4, 2052);
    std::vector<unsigned char> text = input.ConsumeBytes<unsigned char>(2100);
    // The caller's text buffer is exactly as long as the text it claims (or shorter
    // text padded by digits so long lengths are reachable).
    const std::size_t textSize = len > 0 ? static_cast<std::size_t>(len) : 0;
    text.resize(textSize + 1, '7');  // never empty: a null text pointer is refused
    const std::size_t outSize = textSize / 2 + 1;
    std::vector<unsigned char> out(outSize, 0xA5);
    std::vector<unsigned char> inPlace(std::max(textSize, outSize), 0);
    if (textSize > 0) std::memcpy(inPlace.data(), text.data(), textSize);

    const long result = oAscii2Hex(len, text.data(), out.data());
    const long inPlaceResult = oAscii2Hex(len, inPlace.data(), inPlace.data());
    check(result == inPlaceResult);

    bool allDigits = len >= 0 && len <= 2048 && len % 2 == 0;
    for (std::size_t i = 0; allDigits && i < textSize; ++i) allDigits = isHexDigit(text[i]);
    check(result == (allDigits ? 1 : 0));
    if (result == 1) {
        check(out[textSize / 2] == 0);
        check(std::memcmp(out.data(), inPlace.data(), textSize / 2 + 1) == 0);
    } else {
        check(out[0] == 0xFF);
        for (std::size_t i = 1; i < outSize; ++i) check(out[i] == 0xA5);
    }
}

void hex2AsciiRoundTrip(FuzzedDataProvider& input) {
    const long len = input.ConsumeIntegralInRange<long>(-2, 514);
    std::vector<unsigned char> bytes = input.ConsumeBytes<unsigned char>(520);
    const std::size_t count = len > 0 ? static_cast<std::size_t>(len) : 0;
    bytes.resize(count + 1, 0x3C);  // never empty: a null pointer is refused
    std::vector<unsigned char> text(2 * count + 1, 0xA5);
    const long result = oHex2Ascii(len, bytes.data(), text.data());
    check(result == ((len >= 0 && len <= 512) ? 1 : 0));
    if (result != 1) {
        for (const unsigned char c : text) check(c == 0xA5);
        return;
    }
    check(text[2 * count] == 0);
    std::vector<unsigned char> back(count + 1, 0);
    check(oAscii2Hex(static_cast<long>(2 * count), text.data(), back.data()) == 1);
    check(std::memcmp(back.data(), bytes.data(), count) == 0);
}

void hexToLong(FuzzedDataProvider& input) {
    std::string text = input.ConsumeRandomLengthString(64);
    const long value = oHexToLong(text.data());
    check(value >= INT32_MIN && value <= INT32_MAX);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0: ascii2Hex(input); break;
        case 1: hex2AsciiRoundTrip(input); break;
        default: hexToLong(input); break;
    }
    return 0;
}
