// A C++ program that uses the installed Hexkit (C++ linkage) and the reader
// library's C header from C++.
#include <convert_api.h>
#include <reader_api.h>

#include <array>
#include <cstdio>
#include <cstring>

namespace {

bool hexRoundTrip() {
    unsigned char text[] = "D4020aFF";
    std::array<unsigned char, 8> bytes{};
    bytes.fill(0xEE);
    if (oAscii2Hex(8, text, bytes.data()) != 1) return false;
    const std::array<unsigned char, 5> expected{0xD4, 0x02, 0x0A, 0xFF, 0x00};
    if (std::memcmp(bytes.data(), expected.data(), expected.size()) != 0) return false;

    std::array<unsigned char, 16> back{};
    if (oHex2Ascii(4, bytes.data(), back.data()) != 1) return false;
    return std::strcmp(reinterpret_cast<const char*>(back.data()), "D4020AFF") == 0;
}

bool refusesBadHex() {
    unsigned char text[] = "D4G2";
    std::array<unsigned char, 4> bytes{};
    return oAscii2Hex(4, text, bytes.data()) == 0 && bytes[0] == 0xFF;
}

bool crcAOfTwoZeroBytes() {
    // ISO/IEC 14443-3: CRC_A of 00 00 goes on the air as A0 1E.
    char data[] = {0x00, 0x00};
    unsigned char first = 0;
    unsigned char second = 0;
    return oComputeCrc(1, data, 2, &first, &second) == 1 && first == 0xA0 && second == 0x1E;
}

bool hexToLongSignExtends() {
    char text[] = "FFFFFFFF";
    return oHexToLong(text) == -1;
}

}  // namespace

int main() {
    struct Check {
        const char* name;
        bool (*run)();
    };
    const Check checks[] = {{"hex round trip", hexRoundTrip},
                            {"bad hex refused", refusesBadHex},
                            {"CRC_A of 00 00", crcAOfTwoZeroBytes},
                            {"oHexToLong sign extension", hexToLongSignExtends}};
    int failures = 0;
    for (const auto& check : checks) {
        if (!check.run()) {
            std::fprintf(stderr, "Hexkit: %s failed\n", check.name);
            ++failures;
        }
    }
    char name[200] = {};
    if (oPCSCReaderName(name) != 0) {
        std::fprintf(stderr, "oPCSCReaderName found a reader without a PC/SC service\n");
        ++failures;
    }
    if (failures == 0) std::puts("C++ consumer: Hexkit conversions and the reader library work");
    return failures == 0 ? 0 : 1;
}
