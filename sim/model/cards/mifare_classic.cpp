#include "model/cards/mifare_classic.h"

#include <algorithm>

namespace vreader {

using mifare::DataOperation;
using mifare::KeyType;
using mifare::TrailerOperation;

namespace {

constexpr std::uint8_t kAuthenticateA = 0x60;
constexpr std::uint8_t kAuthenticateB = 0x61;
constexpr std::uint8_t kRead = 0x30;
constexpr std::uint8_t kWrite = 0xA0;
constexpr std::uint8_t kDecrement = 0xC0;
constexpr std::uint8_t kIncrement = 0xC1;
constexpr std::uint8_t kRestore = 0xC2;
constexpr std::uint8_t kTransfer = 0xB0;
// 4-bit answers (data sheet 9.3): ACK, and the NAK for an operation not allowed.
constexpr std::uint8_t kAck = 0x0A;
constexpr std::uint8_t kNakNotAllowed = 0x04;

constexpr std::size_t kKeySize = 6;
constexpr std::size_t kValueSize = 4;
// 4K: sectors 0 to 31 have 4 blocks, sectors 32 to 39 have 16.
constexpr std::size_t kSmallSectors = 32;
constexpr std::size_t kSmallSectorBlocks = 4;
constexpr std::size_t kLargeSectorBlocks = 16;
constexpr std::size_t kFirstLargeBlock = kSmallSectors * kSmallSectorBlocks;

std::uint32_t littleEndian(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

Bytes valueBlock(std::int32_t value, std::uint8_t address) {
    const auto v = static_cast<std::uint32_t>(value);
    Bytes block;
    for (const std::uint32_t word : {v, ~v, v}) {
        for (unsigned shift = 0; shift < 32; shift += 8) {
            block.push_back(static_cast<std::uint8_t>(word >> shift));
        }
    }
    const auto inverted = static_cast<std::uint8_t>(~address);
    block.insert(block.end(), {address, inverted, address, inverted});
    return block;
}

std::optional<std::pair<std::int32_t, std::uint8_t>> readValueBlock(const Bytes& block) {
    if (block.size() != MifareClassicCard::kBlockSize) return std::nullopt;
    const std::uint32_t value = littleEndian(block, 0);
    if (littleEndian(block, 4) != ~value || littleEndian(block, 8) != value) return std::nullopt;
    if (block[12] != block[14] || block[13] != block[15] ||
        block[12] != static_cast<std::uint8_t>(~block[13])) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::int32_t>(value), block[12]);
}

MifareClassicCard::MifareClassicCard(std::string id, std::chrono::milliseconds answerDelay,
                                     TypeAIdentity identity, Bytes blocks)
    : TypeACard(std::move(id), answerDelay, std::move(identity), ResponseTable{}),
      memory_(std::move(blocks)) {}

std::size_t MifareClassicCard::blockCountOf(MifareClassicSize size) {
    switch (size) {
        case MifareClassicSize::Mini: return 20;
        case MifareClassicSize::OneK: return 64;
        case MifareClassicSize::FourK: return 256;
    }
    return 0;
}

MifareClassicSize MifareClassicCard::size() const {
    if (blockCount() <= blockCountOf(MifareClassicSize::Mini)) return MifareClassicSize::Mini;
    if (blockCount() <= blockCountOf(MifareClassicSize::OneK)) return MifareClassicSize::OneK;
    return MifareClassicSize::FourK;
}

std::size_t MifareClassicCard::sectorOf(std::size_t block) {
    if (block < kFirstLargeBlock) return block / kSmallSectorBlocks;
    return kSmallSectors + (block - kFirstLargeBlock) / kLargeSectorBlocks;
}

std::size_t MifareClassicCard::firstBlockOf(std::size_t sector) {
    if (sector < kSmallSectors) return sector * kSmallSectorBlocks;
    return kFirstLargeBlock + (sector - kSmallSectors) * kLargeSectorBlocks;
}

std::size_t MifareClassicCard::blocksIn(std::size_t sector) {
    return sector < kSmallSectors ? kSmallSectorBlocks : kLargeSectorBlocks;
}

Bytes MifareClassicCard::block(std::size_t number) const {
    const auto first = memory_.begin() + static_cast<std::ptrdiff_t>(number * kBlockSize);
    return Bytes(first, first + static_cast<std::ptrdiff_t>(kBlockSize));
}

bool MifareClassicCard::isTrailer(std::size_t number) const {
    const std::size_t sector = sectorOf(number);
    return number == firstBlockOf(sector) + blocksIn(sector) - 1;
}

// In a 16-block sector, groups 0 to 2 cover five blocks each (data sheet 8.7.2).
std::uint8_t MifareClassicCard::conditionsOf(std::size_t number) const {
    const std::size_t sector = sectorOf(number);
    const std::size_t first = firstBlockOf(sector);
    const std::size_t trailer = first + blocksIn(sector) - 1;
    const auto conditions = mifare::decodeAccessBits(block(trailer));
    if (!conditions) return 7;  // a sector whose access bits are broken is blocked
    std::size_t group = number - first;
    if (blocksIn(sector) == kLargeSectorBlocks) group = number == trailer ? 3 : group / 5;
    return (*conditions)[group];
}

std::uint8_t MifareClassicCard::trailerConditionsOf(std::size_t number) const {
    const std::size_t sector = sectorOf(number);
    return conditionsOf(firstBlockOf(sector) + blocksIn(sector) - 1);
}

bool MifareClassicCard::authenticatedFor(std::size_t number) const {
    return session_ && session_->powerSession == powerSession() && state() == CardState::Active &&
           number < blockCount() && session_->sector == sectorOf(number);
}

// Block 0 holds the UID and manufacturer data: it reads as its group allows and is
// never written.
bool MifareClassicCard::allowed(std::size_t number, DataOperation operation) const {
    if (!authenticatedFor(number) || isTrailer(number)) return false;
    if (number == 0 && operation != DataOperation::Read) return false;
    return mifare::allowsData(conditionsOf(number), trailerConditionsOf(number), session_->key,
                              operation);
}

// The chip sends key and UID (the last four bytes of a longer UID, as the cipher
// takes them); a wrong one fails and the card halts, as after a failed cipher
// handshake.
std::optional<bool> MifareClassicCard::authenticate(std::uint8_t command, std::uint8_t blockNumber,
                                                    const Bytes& key, const Bytes& uid) {
    if (command != kAuthenticateA && command != kAuthenticateB) return std::nullopt;
    session_.reset();
    transferBuffer_.reset();
    const Bytes& ownUid = identity().uid;
    const bool uidMatches = uid.size() == 4 && ownUid.size() >= 4 &&
                            std::equal(uid.begin(), uid.end(), ownUid.end() - 4);
    if (state() != CardState::Active || blockNumber >= blockCount() || !uidMatches ||
        key.size() != kKeySize) {
        halt();
        return false;
    }
    const std::size_t sector = sectorOf(blockNumber);
    const Bytes trailer = block(firstBlockOf(sector) + blocksIn(sector) - 1);
    const KeyType type = command == kAuthenticateA ? KeyType::A : KeyType::B;
    const auto stored = trailer.begin() + (type == KeyType::A ? 0 : 10);
    if (!std::equal(key.begin(), key.end(), stored)) {
        halt();
        return false;
    }
    session_ = Session{sector, type, powerSession()};
    return true;
}

std::optional<Bytes> MifareClassicCard::answerSelected(const Bytes& frame) { return answer(frame); }

std::optional<Bytes> MifareClassicCard::answer(const Bytes& frame) {
    if (frame.size() < 2 || state() != CardState::Active) return std::nullopt;
    const std::size_t number = frame[1];
    const Bytes data(frame.begin() + 2, frame.end());
    switch (frame[0]) {
        case kRead: return data.empty() ? read(number) : nak();
        case kWrite: return data.size() == kBlockSize ? write(number, data) : nak();
        case kIncrement:
        case kDecrement:
        case kRestore:
            return data.size() == kValueSize ? valueOperation(frame[0], number, data) : nak();
        case kTransfer: return data.empty() ? transfer(number) : nak();
        default: return nak();
    }
}

Bytes MifareClassicCard::nak() {
    session_.reset();
    transferBuffer_.reset();
    return Bytes{kNakNotAllowed};
}

// Key A never reads back, key B only where the trailer lets it be read: the card
// gives zeros in their place.
std::optional<Bytes> MifareClassicCard::read(std::size_t number) {
    if (!authenticatedFor(number)) return nak();
    Bytes data = block(number);
    if (!isTrailer(number)) {
        if (!allowed(number, DataOperation::Read)) return nak();
        return data;
    }
    const std::uint8_t trailer = conditionsOf(number);
    std::fill(data.begin(), data.begin() + kKeySize, 0x00);
    if (!mifare::allowsTrailer(trailer, session_->key, TrailerOperation::ReadKeyB)) {
        std::fill(data.begin() + 10, data.end(), 0x00);
    }
    return data;
}

std::optional<Bytes> MifareClassicCard::write(std::size_t number, const Bytes& data) {
    if (authenticatedFor(number) && isTrailer(number)) return writeTrailer(number, data);
    if (!allowed(number, DataOperation::Write)) return nak();
    std::copy(data.begin(), data.end(), memory_.begin() + static_cast<std::ptrdiff_t>(number * kBlockSize));
    return Bytes{kAck};
}

// Each part of the trailer is written where its key may write it and kept
// otherwise; access bits whose inverted copies do not match are refused.
std::optional<Bytes> MifareClassicCard::writeTrailer(std::size_t number, const Bytes& data) {
    const std::uint8_t trailer = conditionsOf(number);
    const KeyType key = session_->key;
    const bool keyA = mifare::allowsTrailer(trailer, key, TrailerOperation::WriteKeyA);
    const bool bits = mifare::allowsTrailer(trailer, key, TrailerOperation::WriteAccessBits);
    const bool keyB = mifare::allowsTrailer(trailer, key, TrailerOperation::WriteKeyB);
    if (!keyA && !bits && !keyB) return nak();
    if (bits && !mifare::decodeAccessBits(data)) return nak();
    const auto at = memory_.begin() + static_cast<std::ptrdiff_t>(number * kBlockSize);
    if (keyA) std::copy(data.begin(), data.begin() + 6, at);
    if (bits) std::copy(data.begin() + 6, data.begin() + 10, at + 6);
    if (keyB) std::copy(data.begin() + 10, data.end(), at + 10);
    return Bytes{kAck};
}

// Increment, decrement and restore read a value block into the transfer buffer;
// nothing is stored until a transfer.
std::optional<Bytes> MifareClassicCard::valueOperation(std::uint8_t command, std::size_t number,
                                                       const Bytes& operand) {
    const auto operation =
        command == kIncrement ? DataOperation::Increment : DataOperation::DecrementTransferRestore;
    if (!allowed(number, operation)) return nak();
    const auto value = readValueBlock(block(number));
    if (!value) return nak();
    const std::uint32_t amount = littleEndian(operand, 0);
    auto result = static_cast<std::uint32_t>(value->first);
    if (command == kIncrement) result += amount;
    if (command == kDecrement) result -= amount;
    transferBuffer_ = std::make_pair(static_cast<std::int32_t>(result), value->second);
    return Bytes{kAck};
}

std::optional<Bytes> MifareClassicCard::transfer(std::size_t number) {
    if (!transferBuffer_ || !allowed(number, DataOperation::DecrementTransferRestore)) return nak();
    const Bytes stored = valueBlock(transferBuffer_->first, transferBuffer_->second);
    std::copy(stored.begin(), stored.end(), memory_.begin() + static_cast<std::ptrdiff_t>(number * kBlockSize));
    transferBuffer_.reset();
    return Bytes{kAck};
}

}  // namespace vreader
