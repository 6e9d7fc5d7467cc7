#include "model/cards/type2_tag.h"

#include <algorithm>

namespace vreader {

namespace {

constexpr std::uint8_t kGetVersion = 0x60;
constexpr std::uint8_t kRead = 0x30;
constexpr std::uint8_t kFastRead = 0x3A;
constexpr std::uint8_t kWrite = 0xA2;
constexpr std::uint8_t kCompatibilityWrite = 0xA0;
constexpr std::uint8_t kReadCounter = 0x39;
constexpr std::uint8_t kPasswordAuthentication = 0x1B;
constexpr std::uint8_t kReadSignature = 0x3C;
constexpr std::size_t kPagesPerRead = 4;
// NAK 0: invalid argument (an address out of range or not allowed; data sheet
// 10.1, "NAK" table).
constexpr std::uint8_t kNakInvalidArgument = 0x00;
// Page 2 bytes 2 and 3 hold the static lock bits of pages 3 to 15; page 3 is the
// capability container, one-time programmable.
constexpr std::size_t kLockPage = 2;
constexpr std::size_t kCapabilityPage = 3;
constexpr std::size_t kFirstUserPage = 4;
constexpr std::size_t kLastStaticallyLockedPage = 15;
// CFG1 byte 0, ACCESS: bit 7 PROT (reads protected too), bit 4 NFC_CNT_EN.
constexpr std::uint8_t kAccessProt = 0x80;
constexpr std::uint8_t kAccessCounterEnabled = 0x10;
constexpr std::size_t kNtagConfigurationPages = 5;  // dynamic lock, CFG0, CFG1, PWD, PACK

const Bytes kNak{kNakInvalidArgument};

}  // namespace

Type2Tag::Type2Tag(std::string id, std::chrono::milliseconds answerDelay, TypeAIdentity identity,
                   Bytes pages, Bytes version, NtagExtras extras)
    : TypeACard(std::move(id), answerDelay, std::move(identity), ResponseTable{}),
      memory_(std::move(pages)),
      version_(std::move(version)),
      extras_(std::move(extras)) {}

std::size_t Type2Tag::userMemorySize() const {
    const std::size_t end = isNtag() ? pageCount() - kNtagConfigurationPages : pageCount();
    return end > kFirstUserPage ? (end - kFirstUserPage) * kPageSize : 0;
}

std::optional<Bytes> Type2Tag::answer(const Bytes& frame) {
    if (frame.empty()) return std::nullopt;
    switch (frame[0]) {
        case kRead: return read(frame);
        case kWrite: return write(frame);
        case kCompatibilityWrite: return compatibilityWrite(frame);
        case kGetVersion:
            if (version_.empty() || frame.size() != 1) return std::nullopt;
            return version_;
        default: break;
    }
    if (!isNtag()) return std::nullopt;
    switch (frame[0]) {
        case kFastRead: return fastRead(frame);
        case kReadCounter: return readCounter(frame);
        case kPasswordAuthentication: return passwordAuthentication(frame);
        case kReadSignature: return readSignature(frame);
        default: return std::nullopt;
    }
}

std::uint8_t Type2Tag::auth0() const { return isNtag() ? memory_[cfg0Page() * kPageSize + 3] : 0xFF; }
bool Type2Tag::protectsReads() const {
    return isNtag() && (memory_[(cfg0Page() + 1) * kPageSize] & kAccessProt) != 0;
}
bool Type2Tag::counterEnabled() const {
    return (memory_[(cfg0Page() + 1) * kPageSize] & kAccessCounterEnabled) != 0;
}
bool Type2Tag::authenticated() const {
    return authenticatedSession_ && *authenticatedSession_ == powerSession();
}

// Static lock bits: page 2 byte 2 bits 3 to 7 lock pages 3 to 7, byte 3 bits 0 to 7
// pages 8 to 15.
bool Type2Tag::locked(std::size_t number) const {
    if (number < kCapabilityPage || number > kLastStaticallyLockedPage) return false;
    const std::uint8_t lock0 = memory_[kLockPage * kPageSize + 2];
    const std::uint8_t lock1 = memory_[kLockPage * kPageSize + 3];
    if (number < 8) return ((lock0 >> number) & 1U) != 0;
    return ((lock1 >> (number - 8)) & 1U) != 0;
}

// Pages from AUTH0 on answer reads only after PWD_AUTH when ACCESS.PROT is set.
bool Type2Tag::mayRead(std::size_t number) const {
    return number < pageCount() && (!protectsReads() || number < auth0() || authenticated());
}

bool Type2Tag::mayWrite(std::size_t number) const {
    if (number < kLockPage || number >= pageCount() || locked(number)) return false;
    return number < auth0() || authenticated();
}

// PWD and PACK always read as zeros.
Bytes Type2Tag::page(std::size_t number) const {
    if (isNtag() && (number == pwdPage() || number == packPage())) return Bytes(kPageSize, 0x00);
    const auto first = memory_.begin() + static_cast<std::ptrdiff_t>(number * kPageSize);
    return Bytes(first, first + static_cast<std::ptrdiff_t>(kPageSize));
}

// The NFC counter counts the first READ or FAST_READ of each power session.
void Type2Tag::countFirstRead() {
    if (!isNtag() || !counterEnabled() || countedSession_ == powerSession()) return;
    countedSession_ = powerSession();
    extras_.nfcCounter = (extras_.nfcCounter + 1) & 0xFFFFFF;
}

// READ answers four pages from the one asked for; the tag rolls over to page 0 when
// the four run past its last page (or past AUTH0 of a read-protected NTAG not yet
// authenticated). A start page it may not read gets a NAK.
std::optional<Bytes> Type2Tag::read(const Bytes& frame) {
    if (frame.size() != 2) return std::nullopt;
    if (!isNtag() && frame[1] >= pageCount()) return std::nullopt;  // the Ultralight stays silent
    if (!mayRead(frame[1])) return kNak;
    countFirstRead();
    const std::size_t end = protectsReads() && !authenticated() ? std::min<std::size_t>(auth0(), pageCount())
                                                                : pageCount();
    Bytes data;
    data.reserve(kPagesPerRead * kPageSize);
    for (std::size_t i = 0; i < kPagesPerRead; ++i) {
        const Bytes p = page((frame[1] + i) % end);
        data.insert(data.end(), p.begin(), p.end());
    }
    return data;
}

// FAST_READ 3A start end: the pages from start to end, both included.
std::optional<Bytes> Type2Tag::fastRead(const Bytes& frame) {
    if (frame.size() != 3) return std::nullopt;
    if (frame[1] > frame[2] || !mayRead(frame[1]) || !mayRead(frame[2])) return kNak;
    countFirstRead();
    Bytes data;
    for (std::size_t number = frame[1]; number <= frame[2]; ++number) {
        const Bytes p = page(number);
        data.insert(data.end(), p.begin(), p.end());
    }
    return data;
}

// Lock bits and the capability container are one-time programmable: a write sets
// bits, never clears them. Page 2's first two bytes (UID, internal) stay.
Bytes Type2Tag::storePage(std::size_t number, const Bytes& data) {
    const auto at = memory_.begin() + static_cast<std::ptrdiff_t>(number * kPageSize);
    const bool oneTime = number == kLockPage || number == kCapabilityPage ||
                         (isNtag() && number == cfg0Page() - 1);
    for (std::size_t i = 0; i < kPageSize; ++i) {
        if (number == kLockPage && i < 2) continue;
        at[static_cast<std::ptrdiff_t>(i)] = oneTime ? static_cast<std::uint8_t>(at[static_cast<std::ptrdiff_t>(i)] | data[i])
                                                     : data[i];
    }
    return Bytes{kFourBitAck};
}

// WRITE A2 page data(4).
std::optional<Bytes> Type2Tag::write(const Bytes& frame) {
    if (frame.size() != 2 + kPageSize) return std::nullopt;
    if (!isNtag() && frame[1] >= pageCount()) return std::nullopt;
    if (!mayWrite(frame[1])) return kNak;
    return storePage(frame[1], Bytes(frame.begin() + 2, frame.end()));
}

// COMPATIBILITY_WRITE A0 page data(16), as the PN532 sends it in one frame: only the
// first four bytes are stored.
std::optional<Bytes> Type2Tag::compatibilityWrite(const Bytes& frame) {
    if (frame.size() != 2 + 4 * kPageSize) return std::nullopt;
    if (!mayWrite(frame[1])) return kNak;
    return storePage(frame[1], Bytes(frame.begin() + 2, frame.begin() + 2 + kPageSize));
}

// READ_CNT 39 02: the NFC counter, 3 bytes least significant first, when ACCESS
// enables it.
std::optional<Bytes> Type2Tag::readCounter(const Bytes& frame) const {
    if (frame.size() != 2) return std::nullopt;
    if (frame[1] != 0x02 || !counterEnabled()) return kNak;
    const std::uint32_t c = extras_.nfcCounter;
    return Bytes{static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                 static_cast<std::uint8_t>(c >> 16)};
}

// PWD_AUTH 1B pwd(4): PACK (2 bytes) when the password matches, NAK otherwise.
std::optional<Bytes> Type2Tag::passwordAuthentication(const Bytes& frame) {
    if (frame.size() != 1 + kPageSize) return std::nullopt;
    const auto pwd = memory_.begin() + static_cast<std::ptrdiff_t>(pwdPage() * kPageSize);
    if (!std::equal(frame.begin() + 1, frame.end(), pwd)) {
        authenticatedSession_.reset();
        return kNak;
    }
    authenticatedSession_ = powerSession();
    const auto pack = memory_.begin() + static_cast<std::ptrdiff_t>(packPage() * kPageSize);
    return Bytes(pack, pack + 2);
}

// READ_SIG 3C 00: the 32-byte originality signature.
std::optional<Bytes> Type2Tag::readSignature(const Bytes& frame) const {
    if (frame.size() != 2) return std::nullopt;
    if (frame[1] != 0x00) return kNak;
    if (extras_.signature.empty()) return Bytes(32, 0x00);
    return extras_.signature;
}

}  // namespace vreader
