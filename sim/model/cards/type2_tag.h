// An NFC Forum Type 2 tag (Ultralight / NTAG family): a Type A card without
// ISO/IEC 14443-4 whose memory is a row of 4-byte pages.
#ifndef VREADER_TYPE2_TAG_H
#define VREADER_TYPE2_TAG_H

#include <vector>

#include "model/cards/type_a_card.h"

namespace vreader {

class Type2Tag : public TypeACard {
public:
    static constexpr std::size_t kPageSize = 4;

    // pages: the memory, a multiple of 4 bytes; version: the GET_VERSION answer
    // (empty for an Ultralight, which does not know the command).
    Type2Tag(std::string id, std::chrono::milliseconds answerDelay, TypeAIdentity identity,
             Bytes pages, Bytes version);

    std::optional<Bytes> answer(const Bytes& frame) override;

    std::size_t pageCount() const { return memory_.size() / kPageSize; }

protected:
    // Selected, the tag speaks its command set raw (READ 30, WRITE A2, GET_VERSION 60).
    std::optional<Bytes> answerSelected(const Bytes& frame) override { return answer(frame); }

private:
    std::optional<Bytes> read(const Bytes& frame) const;
    std::optional<Bytes> write(const Bytes& frame);

    Bytes memory_;
    Bytes version_;
};

}  // namespace vreader

#endif
