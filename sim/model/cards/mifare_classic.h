// A MIFARE Classic card (NXP MF1S50yyX 1K, MF1S70yyX 4K, and the Mini): a Type A
// card without ISO/IEC 14443-4 whose memory is in sectors, each closed by a trailer
// with keys A and B and the access bits of its blocks. The PN532 speaks the
// card's cipher for the host; the model checks key and access conditions.
#ifndef VREADER_MIFARE_CLASSIC_H
#define VREADER_MIFARE_CLASSIC_H

#include "model/cards/mifare_access.h"
#include "model/cards/type_a_card.h"

namespace vreader {

enum class MifareClassicSize { Mini, OneK, FourK };

class MifareClassicCard : public TypeACard {
public:
    static constexpr std::size_t kBlockSize = 16;

    // blocks: the whole memory, 16 bytes a block (Mini 20, 1K 64, 4K 256 blocks).
    MifareClassicCard(std::string id, std::chrono::milliseconds answerDelay,
                      TypeAIdentity identity, Bytes blocks);

    static std::size_t blockCountOf(MifareClassicSize size);
    std::size_t blockCount() const { return memory_.size() / kBlockSize; }
    MifareClassicSize size() const;
    // The sector a block lies in, its first block, and how many blocks it has (4,
    // or 16 in the upper sectors of a 4K card).
    static std::size_t sectorOf(std::size_t block);
    static std::size_t firstBlockOf(std::size_t sector);
    static std::size_t blocksIn(std::size_t sector);

    std::optional<bool> authenticate(std::uint8_t command, std::uint8_t block, const Bytes& key,
                                     const Bytes& uid) override;
    // Read 30, write A0, increment C1, decrement C0, restore C2, transfer B0, in the
    // PN532's form (block address and data in one frame): 16 bytes read, the ACK
    // 0A, or a NAK (4-bit answers as one byte).
    std::optional<Bytes> answer(const Bytes& frame) override;

    const Bytes& memory() const { return memory_; }

protected:
    std::optional<Bytes> answerSelected(const Bytes& frame) override;

private:
    struct Session {
        std::size_t sector;
        mifare::KeyType key;
        std::uint32_t powerSession;
    };

    Bytes block(std::size_t number) const;
    bool authenticatedFor(std::size_t block) const;
    bool isTrailer(std::size_t block) const;
    // The access group (0 to 2 data, 3 trailer) of a block and its sector's conditions.
    std::uint8_t conditionsOf(std::size_t block) const;
    std::uint8_t trailerConditionsOf(std::size_t block) const;
    bool allowed(std::size_t block, mifare::DataOperation operation) const;

    std::optional<Bytes> read(std::size_t block);
    std::optional<Bytes> write(std::size_t block, const Bytes& data);
    std::optional<Bytes> writeTrailer(std::size_t block, const Bytes& data);
    std::optional<Bytes> valueOperation(std::uint8_t command, std::size_t block, const Bytes& operand);
    std::optional<Bytes> transfer(std::size_t block);
    // A refusal ends the authentication, as the card's cipher stops.
    Bytes nak();

    Bytes memory_;
    std::optional<Session> session_;
    // The value an increment, decrement or restore left for the next transfer, with
    // the address byte of the block it came from.
    std::optional<std::pair<std::int32_t, std::uint8_t>> transferBuffer_;
};

// A value block: value, inverted value, value (4 bytes each, least significant
// first), then address, inverted address, address, inverted address.
Bytes valueBlock(std::int32_t value, std::uint8_t address);
// The value and address of a block in value block format; nothing otherwise.
std::optional<std::pair<std::int32_t, std::uint8_t>> readValueBlock(const Bytes& block);

}  // namespace vreader

#endif
