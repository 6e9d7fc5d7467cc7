#include "model/acr122u_reader.h"

#include <string_view>

#include "model/cards/felica_card.h"
#include "model/pseudo_atr.h"
#include "model/cards/type_a_card.h"
#include "model/cards/type_b_card.h"

namespace vreader {

namespace {

constexpr std::uint8_t kReaderClass = 0xFF;
constexpr std::uint8_t kInsPseudoCommand = 0x00;
constexpr std::uint8_t kInsGetData = 0xCA;
constexpr std::uint8_t kInsGetResponse = 0xC0;

// P1 of the pseudo-commands with instruction 00.
constexpr std::uint8_t kP1DirectTransmit = 0x00;
constexpr std::uint8_t kP1LedBuzzer = 0x40;
constexpr std::uint8_t kP1Timeout = 0x41;
constexpr std::uint8_t kP1FirmwareString = 0x48;
constexpr std::uint8_t kP1GetPiccParameters = 0x50;
constexpr std::uint8_t kP1SetPiccParameters = 0x51;
constexpr std::uint8_t kP1BuzzerOnDetection = 0x52;

// P1 of Get Data.
constexpr std::uint8_t kP1Uid = 0x00;
constexpr std::uint8_t kP1Ats = 0x01;

// PICC operating parameter bits (API manual: Set PICC Operating Parameter).
constexpr std::uint8_t kPiccAutoPolling = 0x80;
constexpr std::uint8_t kPiccAutoAts = 0x40;
constexpr std::uint8_t kPiccFeliCa424 = 0x10;
constexpr std::uint8_t kPiccFeliCa212 = 0x08;
constexpr std::uint8_t kPiccTypeB = 0x02;
constexpr std::uint8_t kPiccTypeA = 0x01;

// FF 00 41: 01 to FE count units of 5 s; 00 and FF let the reader wait for ever.
constexpr std::chrono::seconds kTimeoutUnit{5};

constexpr std::size_t kHeaderSize = 5;  // CLA INS P1 P2 Lc/Le
constexpr std::size_t kLedBuzzerDataSize = 4;  // T1 T2 repetitions link
constexpr std::string_view kFirmwareString = "ACR122U215";

const Bytes kSuccess{0x90, 0x00};
const Bytes kOperationFailed{0x63, 0x00};
const Bytes kWrongLength{0x67, 0x00};
const Bytes kFunctionNotSupported{0x6A, 0x81};
const Bytes kWrongP1P2{0x6A, 0x86};
const Bytes kUnknownInstruction{0x6D, 0x00};

// The chip's power-up retry counts as the firmware leaves them: one passive
// activation attempt, so that a poll of an empty field answers.
const Bytes kFirmwareRetries{0xD4, 0x32, 0x05, 0xFF, 0x01, 0x00};
// InDataExchange with target 1, for APDUs passed on to the card.
const Bytes kExchangeWithTarget1{0xD4, 0x40, 0x01};
constexpr std::uint8_t kMoreInformation = 0x40;
const Bytes kFeliCaPolling{0x00, 0xFF, 0xFF, 0x01, 0x00};

// The data after a CLA INS P1 P2 Lc header, provided Lc counts it exactly.
std::optional<Bytes> commandData(const Bytes& apdu) {
    if (apdu.size() < kHeaderSize || apdu[4] != apdu.size() - kHeaderSize) return std::nullopt;
    return Bytes(apdu.begin() + kHeaderSize, apdu.end());
}

// P2 of LED control: bits 0/1 the final red/green state, bits 2/3 whether to
// change red/green at all. Blinking ends in the final state, which is what stays.
std::uint8_t ledStateAfter(std::uint8_t current, std::uint8_t p2) {
    std::uint8_t state = current;
    if ((p2 & 0x04) != 0) state = static_cast<std::uint8_t>((state & ~0x01) | (p2 & 0x01));
    if ((p2 & 0x08) != 0) state = static_cast<std::uint8_t>((state & ~0x02) | (p2 & 0x02));
    return state;
}

// The card's identifier as Get Data reports it: NFCID1, PUPI or IDm.
Bytes identifierOf(const Card& card) {
    if (const auto* a = dynamic_cast<const TypeACard*>(&card)) return a->identity().uid;
    if (const auto* b = dynamic_cast<const TypeBCard*>(&card)) return b->identity().pupi;
    if (const auto* f = dynamic_cast<const FeliCaCard*>(&card)) return f->identity().idm;
    return {};
}

}  // namespace

Acr122uReader::Acr122uReader(Pn532Chip& chip) : chip_(chip) { chip_.execute(kFirmwareRetries); }

Bytes Acr122uReader::transmit(const Bytes& apdu) {
    if (apdu.empty()) return kWrongLength;
    // Anything not of the reader's class goes to the card, native frames shorter
    // than a command header included (API manual 7.2, 7.3).
    if (apdu[0] != kReaderClass) {
        pending_.reset();
        return transparentExchange(apdu);
    }
    if (apdu.size() < 4) return kWrongLength;
    if (apdu[1] == kInsGetResponse) return getResponse(apdu);
    // Any other command replaces an answer that was never fetched.
    pending_.reset();
    if (apdu[1] == kInsPseudoCommand) return pseudoCommand(apdu);
    if (apdu[1] == kInsGetData) return getData(apdu);
    return storageCommand(apdu);
}

Bytes Acr122uReader::exchangeWhole(const Bytes& apdu) {
    Bytes answer = transmit(apdu);
    if (answer.size() == 2 && answer[0] == 0x61 && pending_) {
        answer = std::move(*pending_);
        pending_.reset();
    }
    return answer;
}

bool Acr122uReader::ownCardGone() const {
    return !chip_.field().contains(*ownCard_) || ownCard_->powerSession() != ownSession_;
}

// The firmware forgets a card that left (or lost power) and releases the target it
// made of it; with none, it looks for one of the card types the PICC parameters
// enable, unless they switch its polling off.
void Acr122uReader::pollField() {
    if (ownCard_ && ownCardGone()) {
        chip_.releaseTargetsOf(*ownCard_);
        ownCard_ = nullptr;
        ownAtr_.reset();
    }
    if (ownCard_ || (piccParameters_ & kPiccAutoPolling) == 0) return;
    ownCard_ = chip_.pollForReader(polledTypes());
    if (!ownCard_) return;
    ownSession_ = ownCard_->powerSession();
    ownAtr_ = pseudoAtr(*ownCard_, *chip_.firstTargetActivation());
}

std::vector<Activation> Acr122uReader::polledTypes() const {
    const bool rats = (piccParameters_ & kPiccAutoAts) != 0;
    std::vector<Activation> types;
    if (piccParameters_ & kPiccTypeA) types.push_back({Modulation::TypeA106, {}, false, rats});
    if (piccParameters_ & kPiccTypeB) types.push_back({Modulation::TypeB106, {0x00}, false, true});
    if (piccParameters_ & kPiccFeliCa212) {
        types.push_back({Modulation::FeliCa212, kFeliCaPolling, false, true});
    }
    if (piccParameters_ & kPiccFeliCa424) {
        types.push_back({Modulation::FeliCa424, kFeliCaPolling, false, true});
    }
    return types;
}

Bytes Acr122uReader::pseudoCommand(const Bytes& apdu) {
    if (apdu.size() < kHeaderSize) return kWrongLength;
    const std::uint8_t p1 = apdu[2];
    const std::uint8_t p2 = apdu[3];
    switch (p1) {
        case kP1DirectTransmit: {
            const auto frame = commandData(apdu);
            if (p2 != 0x00) return kWrongP1P2;
            if (!frame || frame->empty()) return kWrongLength;
            return directTransmit(*frame);
        }
        case kP1LedBuzzer: {
            const auto data = commandData(apdu);
            if (!data || data->size() != kLedBuzzerDataSize) return kWrongLength;
            return ledAndBuzzer(apdu);
        }
        case kP1Timeout:
            if (apdu.size() != kHeaderSize) return kWrongLength;
            timeoutParameter_ = p2;
            return kSuccess;
        case kP1FirmwareString:
            if (apdu.size() != kHeaderSize) return kWrongLength;
            return Bytes(kFirmwareString.begin(), kFirmwareString.end());
        case kP1GetPiccParameters:
            if (apdu.size() != kHeaderSize) return kWrongLength;
            return Bytes{0x90, piccParameters_};
        case kP1SetPiccParameters:
            if (apdu.size() != kHeaderSize) return kWrongLength;
            piccParameters_ = p2;
            return Bytes{0x90, piccParameters_};
        case kP1BuzzerOnDetection:
            if (apdu.size() != kHeaderSize) return kWrongLength;
            if (p2 != 0x00 && p2 != 0xFF) return kWrongP1P2;
            return kSuccess;
        default:
            return kWrongP1P2;
    }
}

// The chip's answer within the reader's timeout; nothing when the reader gave up.
std::optional<Bytes> Acr122uReader::askChip(const Bytes& frame) {
    std::optional<std::chrono::microseconds> patience;
    if (timeoutParameter_ != 0x00 && timeoutParameter_ != 0xFF) {
        patience = std::chrono::microseconds(kTimeoutUnit) * timeoutParameter_;
    }
    return chip_.executeWithin(frame, patience);
}

// The chip's answer with the reader's 90 00 waits for GET RESPONSE; 61 Le counts
// both. An answer of 256 bytes is announced as 61 00. A chip that outlasts the
// reader's timeout gets 63 00.
Bytes Acr122uReader::directTransmit(const Bytes& chipFrame) {
    const auto answer = askChip(chipFrame);
    if (!answer) return kOperationFailed;
    pending_ = join({*answer, kSuccess});
    return Bytes{0x61, static_cast<std::uint8_t>(pending_->size() & 0xFF)};
}

// FF C0 00 00 Le. Le must name the whole pending answer; a wrong Le is told the
// right one and the answer stays.
Bytes Acr122uReader::getResponse(const Bytes& apdu) {
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
Bytes Acr122uReader::ledAndBuzzer(const Bytes& apdu) {
    ledState_ = ledStateAfter(ledState_, apdu[3]);
    return Bytes{0x90, ledState_};
}

// FF CA P1 00 Le: the UID (P1 00) or the ATS of an ISO/IEC 14443-4 Type A card (P1
// 01) of the card the reader holds as target 1. No card: 63 00; an ATS the card
// does not have, or another P1: 6A 81. Le 00 asks for the whole; another Le that is
// not the length is told the length (6C xx).
Bytes Acr122uReader::getData(const Bytes& apdu) {
    if (apdu.size() != kHeaderSize) return kWrongLength;
    if ((apdu[2] != kP1Uid && apdu[2] != kP1Ats) || apdu[3] != 0x00) return kFunctionNotSupported;
    const Card* card = chip_.firstTargetCard();
    if (!card) return kOperationFailed;
    Bytes data;
    if (apdu[2] == kP1Uid) {
        data = identifierOf(*card);
    } else {
        const auto* typeA = dynamic_cast<const TypeACard*>(card);
        if (!typeA || card->state() != CardState::Protocol) return kFunctionNotSupported;
        data = typeA->identity().ats;
    }
    if (apdu[4] != 0x00 && apdu[4] != data.size()) {
        return Bytes{0x6C, static_cast<std::uint8_t>(data.size())};
    }
    return join({data, kSuccess});
}

// An APDU of another class goes to the ISO/IEC 14443-4 card held as target 1, in
// InDataExchange, and its answer comes back as the card gave it, chained parts
// joined; an answer shorter than a status word (a native DESFire answer) gets
// 90 00 (API manual 7.2). A FeliCa command frame (length byte first) goes to the
// FeliCa card and its answer comes back with 90 00 (7.3). Without such a card, or
// when it does not answer: 63 00.
Bytes Acr122uReader::transparentExchange(const Bytes& apdu) {
    const Card* card = chip_.firstTargetCard();
    if (card && dynamic_cast<const FeliCaCard*>(card)) return feliCaExchange(apdu);
    if (!card || card->state() != CardState::Protocol) return kOperationFailed;
    return isoDepExchange(apdu);
}

Bytes Acr122uReader::feliCaExchange(const Bytes& frame) {
    const auto chipAnswer = askChip(join({kExchangeWithTarget1, frame}));
    if (!chipAnswer || chipAnswer->size() < 3 || (*chipAnswer)[2] != 0x00) return kOperationFailed;
    return join({Bytes(chipAnswer->begin() + 3, chipAnswer->end()), kSuccess});
}

Bytes Acr122uReader::isoDepExchange(const Bytes& apdu) {
    Bytes answer;
    Bytes frame = join({kExchangeWithTarget1, apdu});
    for (;;) {
        const auto chipAnswer = askChip(frame);
        if (!chipAnswer || chipAnswer->size() < 3) return kOperationFailed;
        const std::uint8_t status = (*chipAnswer)[2];
        if ((status & ~kMoreInformation) != 0) return kOperationFailed;
        answer.insert(answer.end(), chipAnswer->begin() + 3, chipAnswer->end());
        if ((status & kMoreInformation) == 0) return answer.size() < 2 ? join({answer, kSuccess}) : answer;
        frame = kExchangeWithTarget1;
    }
}

}  // namespace vreader
