#include "model/chip/rf_crc.h"

namespace vreader {

namespace {

// ISO/IEC 13239 CRC-16 as ISO/IEC 14443-3 uses it: reflected polynomial 0x8408.
std::uint16_t crc14443(const Bytes& data, std::uint16_t initial) {
    std::uint16_t crc = initial;
    for (const std::uint8_t byte : data) {
        crc = static_cast<std::uint16_t>(crc ^ byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 1) != 0 ? (crc >> 1) ^ 0x8408 : crc >> 1);
        }
    }
    return crc;
}

// CRC-CCITT, polynomial 0x1021, initial 0, most significant bit first.
std::uint16_t crcFelica(const Bytes& data) {
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : data) {
        crc = static_cast<std::uint16_t>(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

}  // namespace

Bytes rfCrc(const Bytes& data, Modulation modulation) {
    switch (modulation) {
        case Modulation::TypeA106: {
            const std::uint16_t crc = crc14443(data, 0x6363);
            return {static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
        }
        case Modulation::TypeB106: {
            const auto crc = static_cast<std::uint16_t>(~crc14443(data, 0xFFFF));
            return {static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
        }
        default: {
            const std::uint16_t crc = crcFelica(data);
            return {static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc & 0xFF)};
        }
    }
}

std::optional<Bytes> stripRfCrc(const Bytes& frame, Modulation modulation) {
    if (frame.size() < 3) return std::nullopt;
    const Bytes data(frame.begin(), frame.end() - 2);
    if (rfCrc(data, modulation) != Bytes(frame.end() - 2, frame.end())) return std::nullopt;
    return data;
}

}  // namespace vreader
