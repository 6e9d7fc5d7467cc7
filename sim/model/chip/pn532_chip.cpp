// Frame dispatch and the chip's housekeeping commands.
#include "model/chip/pn532_chip.h"

#include "model/chip/pn532_codes.h"

namespace vreader {

using namespace pn532;

std::optional<Pn532Chip::Handler> Pn532Chip::handlerFor(std::uint8_t command) {
    static const std::map<std::uint8_t, Handler> kHandlers = {
        {kGetFirmwareVersion, &Pn532Chip::getFirmwareVersion},
        {kGetGeneralStatus, &Pn532Chip::getGeneralStatus},
        {kReadRegister, &Pn532Chip::readRegister},
        {kWriteRegister, &Pn532Chip::writeRegister},
        {kSetParameters, &Pn532Chip::setParameters},
        {kSamConfiguration, &Pn532Chip::samConfiguration},
        {kRfConfiguration, &Pn532Chip::rfConfiguration},
        {kInDataExchange, &Pn532Chip::inDataExchange},
        {kInCommunicateThru, &Pn532Chip::inCommunicateThru},
        {kInDeselect, &Pn532Chip::inDeselect},
        {kInListPassiveTarget, &Pn532Chip::inListPassiveTarget},
        {kInPsl, &Pn532Chip::inPsl},
        {kInRelease, &Pn532Chip::inRelease},
        {kInAutoPoll, &Pn532Chip::inAutoPoll},
        {kInJumpForDep, &Pn532Chip::inJumpForDep},
        {kInJumpForPsl, &Pn532Chip::inJumpForDep},
    };
    const auto found = kHandlers.find(command);
    if (found == kHandlers.end()) return std::nullopt;
    return found->second;
}

namespace {

// Power-up CIU mode: CRC on, Type A at 106 kbit/s.
constexpr std::uint8_t kCrcOnTypeA106 = kCiuCrcEnabled;
// GetGeneralStatus: the SAM status byte of the reader's chip, 80 whether or not a
// card is in the field (API manual 7.5 shows D5 05 00 00 00 80 for an empty field).
constexpr std::uint8_t kSamStatus = 0x80;

}  // namespace

Pn532Chip::Pn532Chip(Field& field, Faults& faults) : field_(field), faults_(faults) {
    registers_[kCiuTxMode] = kCrcOnTypeA106;
    registers_[kCiuRxMode] = kCrcOnTypeA106;
}

std::optional<Bytes> Pn532Chip::executeWithin(const Bytes& frame,
                                               std::optional<std::chrono::microseconds> patience) {
    hostPatience_ = patience ? std::optional(scaled(*patience)) : std::nullopt;
    hostGaveUp_ = false;
    Bytes answer = execute(frame);
    const bool gaveUp = hostGaveUp_;
    hostPatience_.reset();
    hostGaveUp_ = false;
    if (gaveUp) return std::nullopt;
    return answer;
}

Bytes Pn532Chip::execute(const Bytes& frame) {
    if (frame.size() < 2 || frame[0] != kHostToChip) return Bytes{kSyntaxError};
    const std::uint8_t command = frame[1];
    const auto handler = handlerFor(command);
    if (!handler) return Bytes{kSyntaxError};
    // Only an InDataExchange for the same target fetches the rest of a chained answer.
    if (command != kInDataExchange) more_.reset();
    const Answer data = (this->**handler)(Bytes(frame.begin() + 2, frame.end()));
    if (!data) return Bytes{kSyntaxError};
    return join({Bytes{kChipToHost, static_cast<std::uint8_t>(command + 1)}, *data});
}

Pn532Chip::Answer Pn532Chip::getFirmwareVersion(const Bytes&) {
    return Bytes{kFirmwareIc, kFirmwareVersion, kFirmwareRevision, kFirmwareSupport};
}

// Err, Field (an external field detected: never, the reader is alone), NbTg, then
// per target Tg BrRx BrTx Type, then the SAM status (UM0701 7.2.3).
Pn532Chip::Answer Pn532Chip::getGeneralStatus(const Bytes&) {
    Bytes status{kSuccess, 0x00, static_cast<std::uint8_t>(targets_.size())};
    for (const ActiveTarget& t : targets_) {
        const bool felica = t.activation.modulation == Modulation::FeliCa212 ||
                            t.activation.modulation == Modulation::FeliCa424;
        const std::uint8_t type = felica ? 0x10 : 0x00;
        status.insert(status.end(), {t.number, t.bitRateRx, t.bitRateTx, type});
    }
    status.push_back(kSamStatus);
    return status;
}

// ReadRegister: (ADRH ADRL)... -> one value per address.
Pn532Chip::Answer Pn532Chip::readRegister(const Bytes& parameters) {
    if (parameters.empty() || parameters.size() % 2 != 0) return std::nullopt;
    Bytes values;
    for (std::size_t i = 0; i < parameters.size(); i += 2) {
        const auto address = static_cast<std::uint16_t>(parameters[i] << 8 | parameters[i + 1]);
        const auto found = registers_.find(address);
        values.push_back(found == registers_.end() ? 0x00 : found->second);
    }
    return values;
}

// WriteRegister: (ADRH ADRL value)...
Pn532Chip::Answer Pn532Chip::writeRegister(const Bytes& parameters) {
    if (parameters.empty() || parameters.size() % 3 != 0) return std::nullopt;
    for (std::size_t i = 0; i < parameters.size(); i += 3) {
        const auto address = static_cast<std::uint16_t>(parameters[i] << 8 | parameters[i + 1]);
        registers_[address] = parameters[i + 2];
    }
    return Bytes{};
}

Pn532Chip::Answer Pn532Chip::setParameters(const Bytes& parameters) {
    if (parameters.size() != 1) return std::nullopt;
    parameterFlags_ = parameters[0];
    return Bytes{};
}

Pn532Chip::Answer Pn532Chip::samConfiguration(const Bytes& parameters) {
    if (parameters.empty() || parameters.size() > 3) return std::nullopt;
    return Bytes{};
}

// Item 01 switches the RF field (bit 0); item 02 sets the timeouts; item 05 the
// retry counts. The analog items are accepted and have no effect on virtual cards.
Pn532Chip::Answer Pn532Chip::rfConfiguration(const Bytes& parameters) {
    if (parameters.size() < 2) return std::nullopt;
    const Bytes data(parameters.begin() + 1, parameters.end());
    switch (parameters[0]) {
        case kRfField:
            if (data.size() != 1) return std::nullopt;
            switchRfField((data[0] & 0x01) != 0);
            break;
        case kTimings:
            if (data.size() != 3) return std::nullopt;
            timings_ = data;
            break;
        case kMaxRetries:
            if (data.size() != 3) return std::nullopt;
            maxRetries_ = data;
            break;
        default:
            break;
    }
    return Bytes{};
}

// Without the field the cards lose their power and fall back to idle (ISO/IEC
// 14443-3 POWER-OFF): they must be activated again once it is back.
void Pn532Chip::switchRfField(bool on) {
    if (rfFieldOn_ && !on) {
        for (Card* card : field_.cards()) card->powerOff();
    }
    rfFieldOn_ = on;
}

}  // namespace vreader
