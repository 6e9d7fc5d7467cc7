// Hex in, hex out: test vectors read like the bytes on the wire.
#ifndef VREADER_TEST_BYTES_H
#define VREADER_TEST_BYTES_H

#include <stdexcept>
#include <string>

#include "model/hex_bytes.h"

namespace vreader::testing {

inline Bytes H(const std::string& hex) {
    auto bytes = parseHex(hex);
    if (!bytes) throw std::invalid_argument("bad hex in test: " + hex);
    return *bytes;
}

}  // namespace vreader::testing

#endif
