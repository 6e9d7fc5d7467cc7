#include "acr122u_reader.h"

#include <string_view>

namespace vreader {

namespace {

constexpr std::uint8_t kReaderClass = 0xFF;
constexpr std::uint8_t kInsPseudoCommand = 0x00;
constexpr std::uint8_t kInsGetResponse = 0xC0;

// P1 of the pseudo-commands with instruction 00.
constexpr std::uint8_t kP1DirectTransmit = 0x00;
constexpr std::uint8_t kP1LedBuzzer = 0x40;
constexpr std::uint8_t kP1FirmwareString = 0x48;
constexpr std::uint8_t kP1GetPiccParameters = 0x50;
constexpr std::uint8_t kP1SetPiccParameters = 0x51;
constexpr std::uint8_t kP1BuzzerOnDetection = 0x52;

constexpr std::size_t kHeaderSize = 5;  // CLA INS P1 P2 Lc/Le
constexpr std::size_t kLedBuzzerDataSize = 4;  // T1 T2 repetitions link
constexpr std::string_view kFirmwareString = "ACR122U215";

const Bytes kSuccess{0x90, 0x00};
const Bytes kOperationFailed{0x63, 0x00};
const Bytes kWrongLength{0x67, 0x00};
const Bytes kWrongP1P2{0x6A, 0x86};
const Bytes kUnknownInstruction{0x6D, 0x00};
const Bytes kUnknownClass{0x6E, 0x00};

// The data after a CLA INS P1 P2 Lc header, provided Lc counts it exactly.
std::optional<Bytes> command_data(const Bytes& apdu) {
    if (apdu.size() < kHeaderSize || apdu[4] != apdu.size() - kHeaderSize) return std::nullopt;
    return Bytes(apdu.begin() + kHeaderSize, apdu.end());
}

// P2 of LED control: bits 0/1 the final red/green state, bits 2/3 whether to
// change red/green at all. Blinking ends in the final state, which is what stays.
std::uint8_t led_state_after(std::uint8_t current, std::uint8_t p2) {
    std::uint8_t state = current;
    if ((p2 & 0x04) != 0) state = static_cast<std::uint8_t>((state & ~0x01) | (p2 & 0x01));
    if ((p2 & 0x08) != 0) state = static_cast<std::uint8_t>((state & ~0x02) | (p2 & 0x02));
    return state;
}

}  // namespace

Bytes Acr122uReader::transmit(const Bytes& apdu) {
    if (apdu.size() < 4) return kWrongLength;
    if (apdu[0] != kReaderClass) return kUnknownClass;
    if (apdu[1] == kInsGetResponse) return get_response(apdu);
    // Any other command replaces an answer that was never fetched.
    pending_.reset();
    if (apdu[1] == kInsPseudoCommand) return pseudo_command(apdu);
    return kUnknownInstruction;
}

Bytes Acr122uReader::exchange_whole(const Bytes& apdu) {
    Bytes answer = transmit(apdu);
    if (answer.size() == 2 && answer[0] == 0x61 && pending_) {
        answer = std::move(*pending_);
        pending_.reset();
    }
    return answer;
}

void Acr122uReader::poll_field() {}

std::optional<Bytes> Acr122uReader::card_atr() const {
    if (chip_.field_empty()) return std::nullopt;
    return Bytes{0x3B, 0x00};
}

Bytes Acr122uReader::pseudo_command(const Bytes& apdu) {
    if (apdu.size() < kHeaderSize) return kWrongLength;
    const std::uint8_t p1 = apdu[2];
    const std::uint8_t p2 = apdu[3];
    switch (p1) {
        case kP1DirectTransmit: {
            const auto frame = command_data(apdu);
            if (p2 != 0x00) return kWrongP1P2;
            if (!frame || frame->empty()) return kWrongLength;
            return direct_transmit(*frame);
        }
        case kP1LedBuzzer: {
            const auto data = command_data(apdu);
            if (!data || data->size() != kLedBuzzerDataSize) return kWrongLength;
            return led_and_buzzer(apdu);
        }
        case kP1FirmwareString:
            if (apdu.size() != kHeaderSize) return kWrongLength;
            return Bytes(kFirmwareString.begin(), kFirmwareString.end());
        case kP1GetPiccParameters:
            if (apdu.size() != kHeaderSize) return kWrongLength;
            return Bytes{0x90, picc_parameters_};
        case kP1SetPiccParameters:
            if (apdu.size() != kHeaderSize) return kWrongLength;
            picc_parameters_ = p2;
            return Bytes{0x90, picc_parameters_};
        case kP1BuzzerOnDetection:
            if (apdu.size() != kHeaderSize) return kWrongLength;
            if (p2 != 0x00 && p2 != 0xFF) return kWrongP1P2;
            return kSuccess;
        default:
            return kWrongP1P2;
    }
}

// The chip's answer with the reader's 90 00 waits for GET RESPONSE; 61 Le counts
// both. An answer of 256 bytes is announced as 61 00.
Bytes Acr122uReader::direct_transmit(const Bytes& chip_frame) {
    pending_ = join({chip_.execute(chip_frame), kSuccess});
    return Bytes{0x61, static_cast<std::uint8_t>(pending_->size() & 0xFF)};
}

// FF C0 00 00 Le. Le must name the whole pending answer; a wrong Le is told the
// right one and the answer stays.
Bytes Acr122uReader::get_response(const Bytes& apdu) {
    if (apdu.size() != kHeaderSize) return kWrongLength;
    if (apdu[2] != 0x00 || apdu[3] != 0x00) return kWrongP1P2;
    if (!pending_) return kOperationFailed;
    const std::size_t wanted = apdu[4] == 0 ? 256 : apdu[4];
    if (wanted != pending_->size()) {
        return Bytes{0x6C, static_cast<std::uint8_t>(pending_->size() & 0xFF)};
    }
    Bytes answer = std::move(*pending_);
    pending_.reset();
    return answer;
}

// FF 00 40 P2 04 T1 T2 repetitions link -> 90 LED state. The virtual buzzer is silent.
Bytes Acr122uReader::led_and_buzzer(const Bytes& apdu) {
    led_state_ = led_state_after(led_state_, apdu[3]);
    return Bytes{0x90, led_state_};
}

}  // namespace vreader
