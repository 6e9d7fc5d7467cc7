// Hex text for the command line: "00 A4 04 00" or "00A40400" in, spaced upper case out.
#ifndef QVR_PROBE_HEX_TEXT_H
#define QVR_PROBE_HEX_TEXT_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

std::optional<std::vector<std::uint8_t>> parseHex(const std::string& text);
std::string formatHex(const std::uint8_t* bytes, std::size_t count);
std::string formatStatus(std::int32_t status);

#endif
