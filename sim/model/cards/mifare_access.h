// The access conditions of a MIFARE Classic sector, as its trailer's access bits
// give them (NXP MF1S50yyX / MF1S70yyX 8.7): which key may read, write, increment
// or decrement/transfer/restore a data block, and read or write each part of the
// trailer.
#ifndef VREADER_MIFARE_ACCESS_H
#define VREADER_MIFARE_ACCESS_H

#include <array>
#include <cstdint>
#include <optional>

#include "model/hex_bytes.h"

namespace vreader::mifare {

enum class KeyType { A, B };

// What may be done to a data block or value block.
enum class DataOperation { Read, Write, Increment, DecrementTransferRestore };
// What may be done to a part of the sector trailer.
enum class TrailerOperation { ReadAccessBits, WriteAccessBits, WriteKeyA, ReadKeyB, WriteKeyB };

// C1 C2 C3 of one access group (bit 2 C1, bit 1 C2, bit 0 C3), for groups 0, 1, 2
// (the data blocks) and 3 (the trailer).
using AccessConditions = std::array<std::uint8_t, 4>;

// The access bits in bytes 6 to 8 of a trailer; nothing when the inverted copies do
// not match (the data sheet: such a sector is blocked).
std::optional<AccessConditions> decodeAccessBits(const Bytes& trailer);
// Bytes 6 to 8 of a trailer for these conditions.
Bytes encodeAccessBits(const AccessConditions& conditions);

// Whether a key may do this, under the conditions of its group. A key B that the
// trailer lets be read is no key: it grants nothing (data sheet 8.7.3).
bool allowsData(std::uint8_t conditions, std::uint8_t trailerConditions, KeyType key,
                DataOperation operation);
bool allowsTrailer(std::uint8_t trailerConditions, KeyType key, TrailerOperation operation);
// Whether the trailer's conditions let key B be read (and so make it no key).
bool keyBReadable(std::uint8_t trailerConditions);

}  // namespace vreader::mifare

#endif
