// The ISO/IEC 14443 CRC on arbitrary data, types and lengths, against a bit-by-bit
// reference, plus the property the receiving side relies on: a Type A frame with its
// CRC_A appended checks to a zero register.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "convert_api.h"

namespace {

// Aborts, naming the failed check's line, so the fuzzer keeps the input that broke it.
void check(bool condition, int line = __builtin_LINE()) {
    if (condition) return;
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}

unsigned referenceCrc(const std::vector<char>& data, std::size_t length, unsigned initial, bool invert) {
    unsigned crc = initial;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= static_cast<unsigned char>(data[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0x8408u : crc >> 1;
    }
    return invert ? (~crc & 0xFFFFu) : crc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider input(bytes, size);
    const int type = input.ConsumeBool() ? input.ConsumeIntegralInRange(1, 2) : input.ConsumeIntegral<int>();
    std::vector<char> data = input.ConsumeRemainingBytes<char>();
    const int length = static_cast<int>(data.size());
    data.push_back(0);  // never empty, so the pointer is never null
    unsigned char first = 0xA5, second = 0x5A;
    const long result = oComputeCrc(type, data.data(), length, &first, &second);
    check(result == 1);
    if (type != 1 && type != 2) {
        check(first == 0xA5 && second == 0x5A);
        return 0;
    }
    const unsigned expected = referenceCrc(data, data.size() - 1, type == 1 ? 0x6363u : 0xFFFFu, type == 2);
    check(first == (expected & 0xFFu) && second == (expected >> 8));
    if (type == 1) {
        data.back() = static_cast<char>(first);
        data.push_back(static_cast<char>(second));
        check(referenceCrc(data, data.size(), 0x6363u, false) == 0);
    }
    check(oComputeCrc(type, data.data(), -1 - length, &first, &second) == 0);
    return 0;
}
