#include "model/cards/felica_card.h"

#include <algorithm>

namespace vreader {

namespace {

constexpr std::uint8_t kPolling = 0x00;
constexpr std::uint8_t kRequestResponse = 0x04;
constexpr std::uint8_t kAskForSystemCode = 0x01;
constexpr std::size_t kPollingRequestSize = 5;  // 00 SC SC RC TSN
constexpr std::size_t kIdmSize = 8;

// A frame on the air carries its own length first.
Bytes withLengthByte(const Bytes& body) {
    Bytes frame{static_cast<std::uint8_t>(body.size() + 1)};
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

}  // namespace

FeliCaCard::FeliCaCard(std::string id, std::chrono::milliseconds answerDelay,
                       FeliCaIdentity identity, ResponseTable commands)
    : Card(std::move(id), answerDelay),
      identity_(std::move(identity)),
      commands_(std::move(commands)) {}

bool FeliCaCard::answersAt(Modulation modulation) const {
    if (modulation == Modulation::FeliCa212) return identity_.answersAt212;
    if (modulation == Modulation::FeliCa424) return identity_.answersAt424;
    return false;
}

// FF in either byte of the requested system code is a wildcard for that byte.
bool FeliCaCard::matchesSystemCode(std::uint8_t high, std::uint8_t low) const {
    const Bytes& own = identity_.systemCode;
    return (high == 0xFF || high == own[0]) && (low == 0xFF || low == own[1]);
}

std::optional<Bytes> FeliCaCard::pollingResponse(const Bytes& request) const {
    if (request.size() != kPollingRequestSize || request[0] != kPolling) return std::nullopt;
    if (!matchesSystemCode(request[1], request[2])) return std::nullopt;
    Bytes body = join({Bytes{0x01}, identity_.idm, identity_.pmm});
    if (request[3] == kAskForSystemCode) {
        body.insert(body.end(), identity_.systemCode.begin(), identity_.systemCode.end());
    }
    return withLengthByte(body);
}

std::optional<Bytes> FeliCaCard::targetData(const Activation& activation) const {
    if (!answersAt(activation.modulation)) return std::nullopt;
    return pollingResponse(activation.initiatorData);
}

// Request Response (0A 04 IDm) reports the card's mode: 0B 05 IDm mode.
std::optional<Bytes> FeliCaCard::requestResponse(const Bytes& frame) const {
    if (frame.size() != 2 + kIdmSize) return std::nullopt;
    if (!std::equal(identity_.idm.begin(), identity_.idm.end(), frame.begin() + 2)) {
        return std::nullopt;
    }
    Bytes body = join({Bytes{0x05}, identity_.idm, Bytes{identity_.mode}});
    return withLengthByte(body);
}

std::optional<Bytes> FeliCaCard::answer(const Bytes& frame) {
    // A frame whose length byte disagrees with its size is noise to the card.
    if (frame.size() < 2 || frame[0] != frame.size()) return std::nullopt;
    if (frame[1] == kPolling) return pollingResponse(Bytes(frame.begin() + 1, frame.end()));
    if (frame[1] == kRequestResponse) return requestResponse(frame);
    return commands_.answer(frame);
}

}  // namespace vreader
