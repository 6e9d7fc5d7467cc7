// Byte strings and their hex spelling, as scenario files and traces write them.
#ifndef VREADER_HEX_BYTES_H
#define VREADER_HEX_BYTES_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vreader {

using Bytes = std::vector<std::uint8_t>;

// Reads hex digits two per byte, either case; spaces and colons between bytes are
// allowed so that scenario files can group bytes for the eye ("00 A4 04 00").
// Returns nothing for an odd digit count or any other character.
std::optional<Bytes> parse_hex(std::string_view text);

// Upper-case hex, bytes separated by single spaces ("D5 03 32").
std::string to_hex(const Bytes& bytes);

// Concatenates byte strings: join({head, body, tail}).
Bytes join(std::initializer_list<Bytes> parts);

}  // namespace vreader

#endif
