#include "model/cards/type2_tag.h"

namespace vreader {

namespace {

constexpr std::uint8_t kRead = 0x30;
constexpr std::uint8_t kWrite = 0xA2;
constexpr std::uint8_t kGetVersion = 0x60;
constexpr std::size_t kPagesPerRead = 4;

}  // namespace

Type2Tag::Type2Tag(std::string id, std::chrono::milliseconds answerDelay, TypeAIdentity identity,
                   Bytes pages, Bytes version)
    : TypeACard(std::move(id), answerDelay, std::move(identity), ResponseTable{}),
      memory_(std::move(pages)),
      version_(std::move(version)) {}

std::optional<Bytes> Type2Tag::answer(const Bytes& frame) {
    if (frame.empty()) return std::nullopt;
    switch (frame[0]) {
        case kRead: return read(frame);
        case kWrite: return write(frame);
        case kGetVersion:
            if (version_.empty()) return std::nullopt;
            return version_;
        default: return std::nullopt;
    }
}

// READ answers four pages from the one asked for; the tag rolls over to page 0 when
// the four run past its last page. A start page beyond the memory gets no answer.
std::optional<Bytes> Type2Tag::read(const Bytes& frame) const {
    if (frame.size() != 2 || frame[1] >= pageCount()) return std::nullopt;
    Bytes data;
    data.reserve(kPagesPerRead * kPageSize);
    for (std::size_t i = 0; i < kPagesPerRead; ++i) {
        const std::size_t page = (frame[1] + i) % pageCount();
        const auto first = memory_.begin() + static_cast<std::ptrdiff_t>(page * kPageSize);
        data.insert(data.end(), first, first + static_cast<std::ptrdiff_t>(kPageSize));
    }
    return data;
}

// WRITE stores one page; the tag's 4-bit ACK reaches the host as an empty answer.
std::optional<Bytes> Type2Tag::write(const Bytes& frame) {
    if (frame.size() != 2 + kPageSize || frame[1] >= pageCount()) return std::nullopt;
    std::copy(frame.begin() + 2, frame.end(),
              memory_.begin() + static_cast<std::ptrdiff_t>(frame[1] * kPageSize));
    return Bytes{};
}

}  // namespace vreader
