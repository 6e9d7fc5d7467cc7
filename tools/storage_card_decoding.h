// Storage cards among the Type A targets, for people: which card SAK and ATQA name
// (NXP AN10833, MIFARE type identification) and its memory, and for a Type 2 tag
// the product its GET_VERSION answer names (NTAG213/215/216 and MIFARE Ultralight
// EV1 data sheets).
#ifndef QVR_PROBE_STORAGE_CARD_DECODING_H
#define QVR_PROBE_STORAGE_CARD_DECODING_H

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace qvr::tools {

using Field = std::pair<std::string, std::string>;

// "Card" and "Memory" of a Type A card without ISO/IEC 14443-4; none for a SAK and
// ATQA that name no storage card.
std::vector<Field> storageCardFields(std::uint8_t sak, std::span<const std::uint8_t> atqa);

// The product and memory a GET_VERSION answer (8 bytes) names; empty when it names
// none known.
std::string type2VersionText(std::span<const std::uint8_t> version);

}  // namespace qvr::tools

#endif
