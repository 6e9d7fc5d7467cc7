// Byte strings and their hex spelling, as scenario files and traces write them:
// "00 A4 04 00" in (spaces, tabs and colons between bytes), "D5 03 32" out.
#ifndef VREADER_HEX_BYTES_H
#define VREADER_HEX_BYTES_H

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "vocabulary/hex_text.h"

namespace vreader {

using Bytes = std::vector<std::uint8_t>;
using qvr::formatHex;
using qvr::parseHex;

// Concatenates byte strings: join({head, body, tail}).
inline Bytes join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

}  // namespace vreader

#endif
