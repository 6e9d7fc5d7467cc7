#include "model/cards/mifare_access.h"

namespace vreader::mifare {

namespace {

// Who may do an operation: nobody, key A, key B, or either.
enum Who : std::uint8_t { kNever = 0, kA = 1, kB = 2, kAB = 3 };

// Data blocks, indexed by C1C2C3: read, write, increment, decrement/transfer/restore
// (data sheet table "Access conditions for data blocks").
constexpr std::array<std::array<Who, 4>, 8> kDataTable{{
    {kAB, kAB, kAB, kAB},           // 000 transport configuration
    {kAB, kNever, kNever, kAB},     // 001 value block, decrement only
    {kAB, kNever, kNever, kNever},  // 010 read only
    {kB, kB, kNever, kNever},       // 011
    {kAB, kB, kNever, kNever},      // 100
    {kB, kNever, kNever, kNever},   // 101
    {kAB, kB, kB, kAB},             // 110 value block, recharge with key B
    {kNever, kNever, kNever, kNever},  // 111
}};

// Trailer, indexed by C1C2C3: read access bits, write access bits, write key A,
// read key B, write key B (data sheet table "Access conditions for the sector
// trailer"; key A is never readable).
constexpr std::array<std::array<Who, 5>, 8> kTrailerTable{{
    {kA, kNever, kA, kA, kA},          // 000
    {kA, kA, kA, kA, kA},              // 001 transport configuration
    {kA, kNever, kNever, kA, kNever},  // 010
    {kAB, kB, kB, kNever, kB},         // 011
    {kAB, kNever, kB, kNever, kB},     // 100
    {kAB, kB, kNever, kNever, kNever}, // 101
    {kAB, kNever, kNever, kNever, kNever},  // 110
    {kAB, kNever, kNever, kNever, kNever},  // 111
}};

bool grants(Who who, KeyType key) {
    return (who & (key == KeyType::A ? kA : kB)) != 0;
}

std::uint8_t bit(std::uint8_t byte, unsigned position) {
    return static_cast<std::uint8_t>((static_cast<unsigned>(byte) >> position) & 1U);
}

}  // namespace

// Byte 6: ~C2 (groups 3..0) high nibble, ~C1 low; byte 7: C1 high, ~C3 low;
// byte 8: C3 high, C2 low.
std::optional<AccessConditions> decodeAccessBits(const Bytes& trailer) {
    if (trailer.size() < 9) return std::nullopt;
    const std::uint8_t b6 = trailer[6], b7 = trailer[7], b8 = trailer[8];
    if ((b6 & 0x0F) != (~b7 >> 4 & 0x0F) || (b6 >> 4) != (~b8 & 0x0F) ||
        (b7 & 0x0F) != (~b8 >> 4 & 0x0F)) {
        return std::nullopt;
    }
    AccessConditions conditions{};
    for (unsigned group = 0; group < 4; ++group) {
        conditions[group] = static_cast<std::uint8_t>(bit(b7, 4 + group) << 2 |
                                                      bit(b8, group) << 1 | bit(b8, 4 + group));
    }
    return conditions;
}

Bytes encodeAccessBits(const AccessConditions& conditions) {
    std::uint8_t c1 = 0, c2 = 0, c3 = 0;
    for (unsigned group = 0; group < 4; ++group) {
        c1 = static_cast<std::uint8_t>(c1 | bit(conditions[group], 2) << group);
        c2 = static_cast<std::uint8_t>(c2 | bit(conditions[group], 1) << group);
        c3 = static_cast<std::uint8_t>(c3 | bit(conditions[group], 0) << group);
    }
    const auto inverted = [](std::uint8_t nibble) { return static_cast<std::uint8_t>(~nibble & 0x0F); };
    return Bytes{static_cast<std::uint8_t>(inverted(c2) << 4 | inverted(c1)),
                 static_cast<std::uint8_t>(c1 << 4 | inverted(c3)),
                 static_cast<std::uint8_t>(c3 << 4 | c2)};
}

bool keyBReadable(std::uint8_t trailerConditions) {
    return kTrailerTable[trailerConditions & 7][3] != kNever;
}

bool allowsData(std::uint8_t conditions, std::uint8_t trailerConditions, KeyType key,
                DataOperation operation) {
    if (key == KeyType::B && keyBReadable(trailerConditions)) return false;
    return grants(kDataTable[conditions & 7][static_cast<std::size_t>(operation)], key);
}

bool allowsTrailer(std::uint8_t trailerConditions, KeyType key, TrailerOperation operation) {
    if (key == KeyType::B && keyBReadable(trailerConditions)) return false;
    return grants(kTrailerTable[trailerConditions & 7][static_cast<std::size_t>(operation)], key);
}

}  // namespace vreader::mifare
