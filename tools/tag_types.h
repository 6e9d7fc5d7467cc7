// Names of the PN532 InAutoPoll target type codes, for people reading a transcript.
#ifndef QVR_PROBE_TAG_TYPES_H
#define QVR_PROBE_TAG_TYPES_H

#include <cstdint>
#include <string>

inline std::string tagTypeName(std::uint8_t type) {
    switch (type) {
        case 0x00: return "no tag in the field";
        case 0x10: return "106 kbit/s Type A (ISO 14443-4 not required, e.g. MIFARE Ultralight/NTAG)";
        case 0x11: return "FeliCa 212 kbit/s";
        case 0x12: return "FeliCa 424 kbit/s";
        case 0x20: return "ISO/IEC 14443-4 Type A";
        case 0x23: return "ISO/IEC 14443-4 Type B";
        default: return "type code not in the library's polling list";
    }
}

#endif
