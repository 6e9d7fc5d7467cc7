#include "transceive.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "answer_trimming.h"
#include "platform_transmit.h"
#include "reader_api.h"

namespace qvr {
namespace {

using Buffer = std::array<std::uint8_t, kEngineBufferSize>;

using Header = std::array<std::uint8_t, 4>;  // CLA INS P1 P2

// The reader's pseudo-APDUs (ACR122U API): FF 00 40 50 drives the LED and buzzer,
// FF 00 00 00 hands its data to the PN532, FF C0 00 00 fetches the pending answer.
constexpr Header kLedBuzzer{0xFF, 0x00, 0x40, 0x50};
constexpr Header kDirectTransmit{0xFF, 0x00, 0x00, 0x00};
constexpr Header kReaderGetResponse{0xFF, 0xC0, 0x00, 0x00};
// ISO 7816 GET RESPONSE, for the raw pass-through.
constexpr Header kCardGetResponse{0x00, 0xC0, 0x00, 0x00};
// PN532 InDataExchange with target 1: what mode 9 puts before the card's command.
constexpr std::array<std::uint8_t, 3> kInDataExchangeTarget1{0xD4, 0x40, 0x01};
constexpr std::size_t kStatusWord = 2;  // SW1 SW2 close every answer
constexpr std::uint8_t kPending = 0x61;  // 61 Le: Le bytes wait for GET RESPONSE
constexpr std::int32_t kMaxCommandDirect = 255;
constexpr std::int32_t kMaxCommandDataExchange = QVR_CARD_COMMAND_MAX;  // Lc also counts D4 40 01

// Builds the pseudo-APDU of the mode around the command; returns its length.
std::size_t frameCommand(Buffer& apdu, std::uint8_t mode, const std::uint8_t* command,
                         std::size_t length) {
    const bool toCard = mode == kModeDataExchange;
    const Header& header = mode == kModeLedBuzzer ? kLedBuzzer : kDirectTransmit;
    std::size_t at = 0;
    for (const std::uint8_t byte : header) apdu[at++] = byte;
    apdu[at++] = static_cast<std::uint8_t>(toCard ? length + kInDataExchangeTarget1.size() : length);
    if (toCard)
        for (const std::uint8_t byte : kInDataExchangeTarget1) apdu[at++] = byte;
    if (length > 0) std::memcpy(apdu.data() + at, command, length);
    return at + length;
}

// GET RESPONSE of the header's class for le bytes.
std::array<std::uint8_t, 5> getResponse(const Header& header, std::uint8_t le) {
    return {header[0], header[1], header[2], header[3], le};
}

bool commandFits(std::uint8_t mode, const std::uint8_t* command, std::int32_t length) {
    if (length < 0 || (command == nullptr && length != 0)) return false;
    const std::int32_t limit = mode == kModeDataExchange ? kMaxCommandDataExchange : kMaxCommandDirect;
    return length <= limit;
}

std::size_t boundedCapacity(std::int32_t capacity) {
    return static_cast<std::size_t>(std::min(capacity, kEngineBufferSize));
}

std::int32_t twoByteStatus(const std::uint8_t* bytes) { return bytes[0] * 256 + bytes[1]; }

// The answer waiting behind 61 Le: GET RESPONSE FF C0 00 00 Le, received with a
// capacity of exactly Le. Returns false when the transmit fails.
bool fetchPending(const Wire& wire, std::int32_t card, std::uint8_t le, Buffer& reply,
                  std::size_t& received) {
    const auto apdu = getResponse(kReaderGetResponse, le);
    return wire.exchange(card, apdu.data(), apdu.size(), reply.data(), le, received);
}

// Which pseudo-APDU carried the command, and which part of the answer is wanted.
struct Framing {
    std::uint8_t mode;
    std::uint8_t responseClass;
};

std::int32_t directAnswer(const Buffer& reply, std::size_t r, std::int32_t* replyLength) {
    *replyLength = static_cast<std::int32_t>(r - kStatusWord);
    return twoByteStatus(reply.data());
}

// Copies the wanted part of the answer; returns the status of the table's row.
// Inlined into the card path, which every command of a card connection takes.
[[gnu::always_inline]] inline std::int32_t deliverTrimmed(Framing framing, const Buffer& answer,
                                                          std::size_t m, std::uint8_t* destination,
                                                          std::int32_t* replyLength) {
    const AnswerCut& cut = answerCut(framing.mode, framing.responseClass, m);
    if (cut.refused) return cut.refusalCode;
    const std::size_t count = std::min<std::size_t>(m - cut.dropFront - cut.dropBack,
                                                    kMaxDestinationBytes);
    std::memcpy(destination, answer.data() + cut.dropFront, count);
    *replyLength = static_cast<std::int32_t>(count);
    return statusFromEnd(answer.data(), m, cut.statusFromEnd);
}

// A command on a direct connection: one escape into the engine's whole buffer. The
// answer comes whole, so one longer than a status word is trimmed exactly as a GET
// RESPONSE answer of its length, and a bare status word is a direct answer. The
// escape always answers with at least the reader's status: less is a failure. Kept
// out of line, so that its reply buffer does not weigh on the card path's frame.
[[gnu::noinline]] std::int32_t escapeAndTrim(const Wire& wire, std::int32_t card,
                                             const Buffer& apdu, std::size_t apduLength,
                                             Framing framing, std::uint8_t* destination,
                                             std::int32_t* replyLength) {
    Buffer reply;
    std::size_t r = 0;
    const bool answered = wire.exchange(card, apdu.data(), apduLength, reply.data(), reply.size(), r) &&
                          r >= kStatusWord;
    if (framing.mode == kModeLedBuzzer) return answered ? QVR_SW_SUCCESS : QVR_LED_TRANSMIT_FAILED;
    if (!answered) return QVR_TRANSPORT_FAILED;
    if (r == kStatusWord) return directAnswer(reply, r, replyLength);
    return deliverTrimmed(framing, reply, r, destination, replyLength);
}

// The raw pass-through on a card connection (T=0 or T=1): the reply, or the answer
// behind 61 Le.
bool transmitAndFetch(const Wire& wire, std::int32_t card, const std::uint8_t* apdu,
                      std::int32_t length, std::size_t limit, Buffer& reply, std::size_t& r) {
    if (!wire.exchange(card, apdu, static_cast<std::size_t>(length), reply.data(), limit, r))
        return false;
    if (r != kStatusWord || reply[0] != kPending) return true;
    // ISO 7816: Le 00 announces 256 bytes; the answer carries its status word too.
    const std::size_t le = reply[1] == 0 ? 256 : reply[1];
    const auto getCardResponse = getResponse(kCardGetResponse, reply[1]);
    return wire.exchange(card, getCardResponse.data(), getCardResponse.size(), reply.data(),
                         le + kStatusWord, r);
}

// The raw pass-through on a direct connection: the whole answer, which always ends
// with a status word, into the engine's buffer.
bool escapeWhole(const Wire& wire, std::int32_t card, const std::uint8_t* apdu,
                 std::int32_t length, Buffer& reply, std::size_t& r) {
    const auto count = static_cast<std::size_t>(length);
    return wire.exchange(card, apdu, count, reply.data(), reply.size(), r) && r >= kStatusWord;
}

}  // namespace

std::int32_t Transceive(std::uint8_t* destination, std::int32_t firstReplyCapacity,
                        const ReaderPart& reader, std::uint8_t mode, std::uint8_t responseClass,
                        const std::uint8_t* command, std::int32_t commandLength,
                        std::int32_t* replyLength) noexcept {
    if (reader.card == 0) return QVR_NOT_SENT;
    if (destination == nullptr || replyLength == nullptr) return QVR_NOT_SENT;
    *replyLength = 0;
    if (!commandFits(mode, command, commandLength) || firstReplyCapacity < 0) return QVR_NOT_SENT;
    if (mode != kModeLedBuzzer && mode != kModeDirect && mode != kModeDataExchange)
        return QVR_NOT_SENT;

    Buffer apdu;
    const std::size_t apduLength =
        frameCommand(apdu, mode, command, static_cast<std::size_t>(commandLength));
    const Wire wire = wireTo(reader.card);
    if (wire.link == Link::kDirect)
        return escapeAndTrim(wire, reader.card, apdu, apduLength, {mode, responseClass}, destination,
                             replyLength);

    // Under T=1 the reader answers a chip command whole (ACR122U API, section 6:
    // D5, response code, data, 90 00), so the first reply needs the whole buffer.
    const bool whole = wire.link == Link::kCardT1 && mode != kModeLedBuzzer;
    Buffer reply;
    std::size_t r = 0;
    const bool sent = wire.exchange(reader.card, apdu.data(), apduLength, reply.data(),
                                    whole ? reply.size() : boundedCapacity(firstReplyCapacity), r);

    // The LED and buzzer answer carries the LED state, which no caller wants.
    if (mode == kModeLedBuzzer) return sent ? QVR_SW_SUCCESS : QVR_LED_TRANSMIT_FAILED;
    if (!sent || r < kStatusWord) return QVR_TRANSPORT_FAILED;

    // A whole answer is trimmed exactly as the same bytes fetched with GET RESPONSE.
    if (whole && r > kStatusWord)
        return deliverTrimmed({mode, responseClass}, reply, r, destination, replyLength);
    // A direct answer (anything but exactly 61 Le) is a status word and nothing more
    // is fetched; its length still tells the caller how much the reader said.
    if (r != kStatusWord || reply[0] != kPending) return directAnswer(reply, r, replyLength);

    std::size_t m = 0;
    if (!fetchPending(wire, reader.card, reply[1], reply, m)) return QVR_TRANSPORT_FAILED;
    return deliverTrimmed({mode, responseClass}, reply, m, destination, replyLength);
}

std::int32_t TransceiveRaw(const std::uint8_t* apdu, std::int32_t length, std::int32_t capacity,
                           std::uint8_t* destination, const ReaderPart& reader) noexcept {
    if (reader.card == 0) return QVR_NOT_SENT;
    if ((apdu == nullptr && length != 0) || length < 0 || destination == nullptr || capacity < 0)
        return 0;

    const std::size_t limit = boundedCapacity(capacity);
    Buffer reply;
    std::size_t r = 0;
    const Wire wire = wireTo(reader.card);
    const bool answered =
        wire.link == Link::kDirect ? escapeWhole(wire, reader.card, apdu, length, reply, r)
                                   : transmitAndFetch(wire, reader.card, apdu, length, limit, reply, r);
    if (!answered || r > limit) return 0;
    std::memcpy(destination, reply.data(), r);
    return static_cast<std::int32_t>(r);
}

}  // namespace qvr
