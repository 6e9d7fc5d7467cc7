// The link between the project's pcscd driver and the virtual reader program: one
// Unix stream socket per purpose, length-prefixed messages both ways.
//
//   frame   = length (4 bytes, big-endian, counts type and payload) type (1 byte) payload
//
// The driver opens two connections and names each one's role in its first message:
// a command connection (one request, one reply, in turn) and an event connection on
// which the reader pushes the card state: at once when the connection opens, then
// whenever a card arrives, leaves or changes. No TCP is involved anywhere.
#ifndef VREADER_LINK_PROTOCOL_H
#define VREADER_LINK_PROTOCOL_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vreader::link {

using Bytes = std::vector<std::uint8_t>;

enum class MessageType : std::uint8_t {
    // Driver to reader.
    kHello = 0x01,       // payload: Role
    kPowerUp = 0x10,     // reply kCardState (the ATR the card answers)
    kPowerDown = 0x11,   // reply kAnswer (empty)
    kTransmitT0 = 0x20,  // payload: command APDU; reply kAnswer or kRefused
    kTransmitT1 = 0x21,  // payload: command APDU; reply kAnswer or kRefused
    kControl = 0x30,     // payload: control code (4 bytes, big-endian) and bytes
    kCardStateQuery = 0x40,  // reply kCardState
    // Reader to driver.
    kAnswer = 0x80,      // payload: the response bytes
    kRefused = 0x81,     // no payload: the reader did not carry the request out
    kCardState = 0x82,   // payload: present (0 or 1), card number (4 bytes), ATR
};

enum class Role : std::uint8_t { kCommands = 'C', kEvents = 'E' };

struct Message {
    MessageType type;
    Bytes payload;
};

// What PC/SC is to see: whether a card is present, which one (the reader counts every
// arrival and departure, so that a card swapped between two looks still shows as a
// new card), and its ATR.
struct CardState {
    bool present = false;
    std::uint32_t cardNumber = 0;
    Bytes atr;

    bool operator==(const CardState&) const = default;
};

// The largest frame either side accepts: a control code, a 64 KiB buffer and the type.
inline constexpr std::uint32_t kMaxFrame = 4 + 65536 + 1;

// The CCID escape as pcsc-lite numbers control codes: SCARD_CTL_CODE(3500), the code
// PC/SC programs for the ACR122U use, and SCARD_CTL_CODE(1), the vendor exchange code
// of the CCID driver on Linux. Both carry a pseudo-APDU to the reader.
inline constexpr std::uint32_t kEscapeCode3500 = 0x42000000u + 3500u;
inline constexpr std::uint32_t kEscapeCodeVendor = 0x42000000u + 1u;
inline bool isEscapeCode(std::uint32_t code) {
    return code == kEscapeCode3500 || code == kEscapeCodeVendor;
}

Bytes encode(const Message& message);
Bytes encodeCardState(const CardState& state);
std::optional<CardState> decodeCardState(const Bytes& payload);
Bytes encodeControl(std::uint32_t code, const Bytes& data);
// The code and the bytes of a kControl payload; nothing when it is too short.
std::optional<std::pair<std::uint32_t, Bytes>> decodeControl(const Bytes& payload);

// Writes the whole frame (one write where the socket takes it); false on failure.
bool writeMessage(int descriptor, const Message& message);
// Reads one whole frame; nothing on end of stream, error (a receive timeout set on
// the socket included), an oversized frame or when no frame began within the timeout
// (a negative timeout leaves the waiting to the read itself).
std::optional<Message> readMessage(int descriptor, std::chrono::milliseconds timeout);

// Connects to a Unix stream socket at path; -1 when nobody listens there.
int connectUnix(const std::string& path);

}  // namespace vreader::link

#endif
