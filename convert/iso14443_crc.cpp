// ISO/IEC 14443-3 CRC_A and CRC_B: the two-byte check that Type A and Type B
// frames carry to and from proximity cards.
//
// Both are the CRC-16 with generator x^16 + x^12 + x^5 + 1 run bit-reflected: bits
// enter least significant first, so the register shifts towards its low end and the
// polynomial appears as 0x8408. They differ only in the preset (0x6363 for Type A,
// 0xFFFF for Type B) and in Type B sending the ones' complement of the register.
// The low byte goes on the air first.
#include <cstdint>

#include "hexkit_converter.h"

namespace hexkit {

namespace {

constexpr int kCrcTypeA = 1;
constexpr int kCrcTypeB = 2;
constexpr std::uint16_t kPresetTypeA = 0x6363;
constexpr std::uint16_t kPresetTypeB = 0xFFFF;
constexpr std::uint16_t kReflectedPolynomial = 0x8408;

std::uint16_t updateCrc(std::uint16_t crc, unsigned char byte) {
    crc = static_cast<std::uint16_t>(crc ^ byte);
    for (int bit = 0; bit < 8; ++bit) {
        const bool lowBitSet = (crc & 1u) != 0;
        crc = static_cast<std::uint16_t>(crc >> 1);
        if (lowBitSet) crc = static_cast<std::uint16_t>(crc ^ kReflectedPolynomial);
    }
    return crc;
}

}  // namespace

long HexkitConverter::computeCrc(int type, const char* data, int len, unsigned char* first,
                                 unsigned char* second) const {
    // Refuse what would read or write outside the caller's storage before looking at
    // the type, so a bad call is reported whatever type it names.
    if (data == nullptr || first == nullptr || second == nullptr || len < 0) return 0;

    std::uint16_t crc = 0;
    if (type == kCrcTypeA) {
        crc = kPresetTypeA;
    } else if (type == kCrcTypeB) {
        crc = kPresetTypeB;
    } else {
        return 1;  // an unknown type computes nothing and writes nothing
    }

    for (int i = 0; i < len; ++i) crc = updateCrc(crc, static_cast<unsigned char>(data[i]));
    if (type == kCrcTypeB) crc = static_cast<std::uint16_t>(~crc);

    *first = static_cast<unsigned char>(crc & 0xFFu);
    *second = static_cast<unsigned char>(crc >> 8);
    return 1;
}

}  // namespace hexkit
