// An NFC Forum Type 2 tag (MIFARE Ultralight, NTAG213/215/216): a Type A card
// without ISO/IEC 14443-4 whose memory is a row of 4-byte pages. An NTAG (its
// GET_VERSION names product type 04) ends its memory with the dynamic lock bytes
// and the configuration pages CFG0 (AUTH0), CFG1 (ACCESS), PWD and PACK.
#ifndef VREADER_TYPE2_TAG_H
#define VREADER_TYPE2_TAG_H

#include <vector>

#include "model/cards/type_a_card.h"

namespace vreader {

// What only an NTAG has besides its memory (NTAG213/215/216 data sheet 8.5, 10.7).
struct NtagExtras {
    Bytes signature;             // READ_SIG: 32 bytes
    std::uint32_t nfcCounter = 0;  // READ_CNT: 24 bits
};

class Type2Tag : public TypeACard {
public:
    static constexpr std::size_t kPageSize = 4;

    // pages: the memory, a multiple of 4 bytes; version: the GET_VERSION answer
    // (empty for an Ultralight, which does not know the command).
    Type2Tag(std::string id, std::chrono::milliseconds answerDelay, TypeAIdentity identity,
             Bytes pages, Bytes version, NtagExtras extras = {});

    std::optional<Bytes> answer(const Bytes& frame) override;

    std::size_t pageCount() const { return memory_.size() / kPageSize; }
    // GET_VERSION byte 2 (product type) 04: an NTAG with configuration pages.
    bool isNtag() const { return version_.size() == 8 && version_[2] == 0x04; }
    const Bytes& version() const { return version_; }
    const Bytes& memory() const { return memory_; }
    // User memory in bytes: the pages between the capability container and the
    // dynamic lock bytes (NTAG) or the end (Ultralight).
    std::size_t userMemorySize() const;

protected:
    // Selected, the tag speaks its command set raw.
    std::optional<Bytes> answerSelected(const Bytes& frame) override { return answer(frame); }

private:
    // NTAG configuration pages, counted from the end of the memory.
    std::size_t cfg0Page() const { return pageCount() - 4; }
    std::size_t pwdPage() const { return pageCount() - 2; }
    std::size_t packPage() const { return pageCount() - 1; }
    std::uint8_t auth0() const;
    bool protectsReads() const;
    bool counterEnabled() const;
    bool locked(std::size_t page) const;
    bool mayRead(std::size_t page) const;
    bool mayWrite(std::size_t page) const;
    Bytes page(std::size_t number) const;

    std::optional<Bytes> read(const Bytes& frame);
    std::optional<Bytes> fastRead(const Bytes& frame);
    std::optional<Bytes> write(const Bytes& frame);
    std::optional<Bytes> compatibilityWrite(const Bytes& frame);
    std::optional<Bytes> readCounter(const Bytes& frame) const;
    std::optional<Bytes> passwordAuthentication(const Bytes& frame);
    std::optional<Bytes> readSignature(const Bytes& frame) const;
    Bytes storePage(std::size_t number, const Bytes& data);
    void countFirstRead();
    bool authenticated() const;

    Bytes memory_;
    Bytes version_;
    NtagExtras extras_;
    std::optional<std::uint32_t> authenticatedSession_;
    std::optional<std::uint32_t> countedSession_;
};

}  // namespace vreader

#endif
