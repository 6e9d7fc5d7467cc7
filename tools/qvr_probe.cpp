// qvr-probe: what the reader stack sees, step by step, in words a person can read.
// It goes through the reader library exactly as an application would; it asks PC/SC
// itself only for what the library does not say (which connection it made, why a
// step failed).
#include <winscard.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "card_decoding.h"
#include "storage_card_decoding.h"
#include "connection_check.h"
#include "exit_codes.h"
#include "pcsc_reasons.h"
#include "probe_options.h"
#include "reader_api.h"
#include "reader_listing.h"
#include "reader_waiting.h"
#include "vocabulary/hex_text.h"
#include "vocabulary/pn532_codes.h"

namespace qvr::tools {
namespace {

struct Reply {
    std::array<std::uint8_t, QVR_CAPACITY_MAX> bytes{};
    std::int32_t length = 0;
    std::size_t size() const { return static_cast<std::size_t>(std::clamp(length, 0, QVR_CAPACITY_MAX)); }
    std::string text() const { return formatHex({bytes.data(), size()}); }
};

std::string formatStatus(std::int32_t status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<std::uint32_t>(status));
    return text;
}

void step(const char* what, std::int32_t status, const Reply& reply) {
    std::printf("%-28s status %s  reply [%s]\n", what, formatStatus(status).c_str(), reply.text().c_str());
}

void line(const std::string& what, const std::string& text) {
    std::printf("%-28s %s\n", what.c_str(), text.c_str());
}

// The library reads these when it first needs them, so they are set before any call.
void passOptionsToLibrary(const ProbeOptions& options) {
    if (options.readerText) setenv("QVR_ACR122_READER", options.readerText->c_str(), 1);
    if (options.trace) setenv("QVR_ACR122_TRACE", "stderr", 1);
}

const char* readerText() { return std::getenv("QVR_ACR122_READER"); }

std::string wantedReader() {
    const char* text = readerText();
    return text != nullptr && *text != '\0' ? "reader whose name contains '" + std::string(text) + "'" : "reader";
}

std::string when(double seconds) {
    if (seconds < 0.05) return "at once";
    char text[32];
    std::snprintf(text, sizeof text, "after %.1f s", seconds);
    return text;
}

int waitForCard(unsigned seconds) {
    std::printf("Waiting up to %u s for a %s, then for a card on it\n", seconds, wantedReader().c_str());
    std::fflush(stdout);
    const WaitResult wait = waitForReaderAndCard(readerText(), std::chrono::seconds(seconds));
    if (!wait.reader.empty()) line(wait.readerSeconds < 0.05 ? "Reader present" : "Reader arrived",
                                   wait.reader + " (" + when(wait.readerSeconds) + ")");
    switch (wait.outcome) {
        case WaitResult::Outcome::CardPresent: {
            const bool atOnce = wait.cardSeconds - wait.readerSeconds < 0.05;
            line(atOnce ? "Card present" : "Card arrived", "ATR " + formatHex({wait.atr.data(), wait.atr.size()}) +
                                                               " (" + when(atOnce ? 0 : wait.cardSeconds) + ")");
            return kProbeDone;
        }
        case WaitResult::Outcome::NoReader:
            std::fprintf(stderr, "qvr-probe: no %s arrived within %u s\n%s\n", wantedReader().c_str(), seconds,
                         noReaderHint().c_str());
            return kNothingArrived;
        case WaitResult::Outcome::NoCard:
            std::fprintf(stderr,
                         "qvr-probe: no card arrived on '%s' within %u s\n"
                         "The reader shows a card only while it has found and woken a tag: lay the tag flat\n"
                         "on the reader's marked area.\n",
                         wait.reader.c_str(), seconds);
            return kNothingArrived;
        case WaitResult::Outcome::ServiceError:
            break;
    }
    reportFailure("waiting for the reader and a card", wait.error);
    return kNoService;
}

// Lists the readers, marks the one the library uses; its name into reader.
int showReaders(std::string& reader) {
    long error = 0;
    const auto readers = listReaders(error);
    if (readers.empty()) {
        reportFailure("listing the PC/SC readers", error);
        return error == SCARD_E_NO_READERS_AVAILABLE ? kNoReader : kNoService;
    }
    const auto chosen = chooseReader(readers, readerText());
    std::printf("PC/SC readers:\n");
    for (std::size_t i = 0; i < readers.size(); ++i)
        std::printf("  [%zu] %s%s\n", i, readers[i].c_str(), chosen == i ? "   <- used by the library" : "");
    if (!chosen) {
        std::fprintf(stderr, "qvr-probe: no reader's name contains '%s' (QVR_ACR122_READER)\n", readerText());
        return kNoReader;
    }
    reader = readers[*chosen];
    return kProbeDone;
}

int explainNoConnection(const std::string& reader) {
    const ConnectFailure failure = diagnoseConnect(reader);
    if (failure.step.empty()) {
        std::fprintf(stderr,
                     "qvr-probe: the library could not connect to '%s', yet PC/SC connects now: the\n"
                     "tag or the reader moved meanwhile. Try again, or use --trace to see the calls.\n",
                     reader.c_str());
        return kNoConnection;
    }
    reportFailure(failure.step == "SCardEstablishContext" ? failure.step : failure.step + " to '" + reader + "'",
                  failure.error);
    const bool service = failure.error == SCARD_E_NO_SERVICE || failure.error == SCARD_W_SECURITY_VIOLATION;
    return service ? kNoService : kNoConnection;
}

ConnectionKind showConnection(std::int32_t card) {
    char handle[16];
    std::snprintf(handle, sizeof handle, "0x%08X", static_cast<std::uint32_t>(card));
    const ConnectionState state = inspectConnection(card);
    switch (state.kind) {
        case ConnectionKind::SharedCard:
            line("Connected", std::string("card handle ") + handle + ", shared, " +
                                  (state.protocol == SCARD_PROTOCOL_T1 ? "T=1" : "T=0") + " (a card is present)");
            line("Card ATR", formatHex({state.atr.data(), state.atr.size()}));
            break;
        case ConnectionKind::Direct:
            line("Connected", std::string("card handle ") + handle +
                                  ", direct to the reader (no tag in the field; commands go through the escape)");
            break;
        case ConnectionKind::Unknown:
            line("Connected", std::string("card handle ") + handle + " (connection kind unknown: SCardStatus " +
                                  pcscReason(state.error) + ")");
            break;
    }
    return state.kind;
}

int explainRefusal(std::int32_t card, ConnectionKind kind) {
    if (kind == ConnectionKind::Direct) {
        if (const long escape = tryEscape(card); escape != SCARD_S_SUCCESS) {
            std::fprintf(stderr, "qvr-probe: the reader refused a command sent through the escape: %s\n%s\n",
                         pcscReason(escape).c_str(), escapeRefusedHint().c_str());
            return kReaderRefused;
        }
    }
    std::fprintf(stderr,
                 "qvr-probe: the reader did not take the library's command (0x7000): it or the tag\n"
                 "left, or another program reset it. Connect again; --trace shows the PC/SC calls.\n");
    return kReaderRefused;
}

std::int32_t showFirmware(std::int32_t card) {
    Reply reply;
    const std::int32_t status = oFirmwareVer(card, reply.bytes.data(), &reply.length);
    step("Firmware version", status, reply);
    if (status == QVR_SW_SUCCESS && reply.length == 6)
        std::printf("%-28s IC %02X, version %u.%u, supports %02X\n", "", reply.bytes[2], reply.bytes[3],
                    reply.bytes[4], reply.bytes[5]);
    return status;
}

void setBuzzer(std::int32_t card, bool on) {
    // ACR122U pseudo-APDU FF 00 52 P1 00: beep on card detection (P1 FF) or not (00).
    const std::array<std::uint8_t, 5> apdu{0xFF, 0x00, 0x52, static_cast<std::uint8_t>(on ? 0xFF : 0x00), 0x00};
    Reply reply;
    const std::int32_t count =
        oSendTo(card, QVR_EXCHANGE_RAW, apdu.data(), 5, reply.bytes.data(), 16, &reply.length);
    std::printf("%-28s %s, reader answered [%s]\n", "Buzzer on card detection", on ? "on" : "off",
                formatHex({reply.bytes.data(), static_cast<std::size_t>(count > 0 && count <= 16 ? count : 0)}).c_str());
}

void showCards(const Reply& reply) {
    const auto cards = decodeAutoPollReply(reply.bytes.data(), reply.size());
    for (std::size_t i = 0; i < cards.size(); ++i) {
        line("Card " + std::to_string(i + 1), cards[i].technology);
        for (const auto& [name, value] : cards[i].fields) line("  " + name, value);
        if (!cards[i].problem.empty()) line("  (not decoded)", cards[i].problem);
    }
}

// A Type 2 tag names its product and memory in its GET_VERSION answer (60); an
// original Ultralight does not answer it.
void type2Version(std::int32_t card) {
    const std::array<std::uint8_t, 1> getVersion{0x60};
    Reply reply;
    const std::int32_t status = oSendTo(card, QVR_EXCHANGE_CARD_ANSWER, getVersion.data(), 1,
                                        reply.bytes.data(), 1000, &reply.length);
    // The card's 8 bytes; a chip error comes back as D5 41 and its status.
    if (status != QVR_SW_SUCCESS || reply.length != 8) {
        line("  GET_VERSION", "no answer (an original MIFARE Ultralight or Ultralight C)");
        return;
    }
    const std::span<const std::uint8_t> version{reply.bytes.data(), 8};
    const std::string product = type2VersionText(version);
    line("  GET_VERSION", formatHex(version) + (product.empty() ? "" : ": " + product));
}

std::uint8_t pollTag(std::int32_t card) {
    Reply reply;
    std::uint8_t type = 0;
    const std::int32_t status = oPollingTags(card, reply.bytes.data(), &reply.length, &type, "01");
    step("Poll (InAutoPoll)", status, reply);
    if (status != QVR_SW_SUCCESS) return 0;
    std::printf("%-28s 0x%02X: %s\n", "Tag type found", type, pn532::tagTypeName(type));
    if (type != 0) showCards(reply);
    const auto cards = decodeAutoPollReply(reply.bytes.data(), reply.size());
    for (const auto& decoded : cards) {
        for (const auto& [name, value] : decoded.fields) {
            if (name == "Card" && value.starts_with("NFC Forum Type 2")) type2Version(card);
        }
    }
    return type;
}

void typeBDetails(std::int32_t card) {
    Reply reply;
    step("Type B InListPassiveTarget", oPollISO14443_TypeBTag(card, reply.bytes.data(), &reply.length), reply);
    Reply answer;
    step("Type B 90 32 03 00 00 00", oRequestResponseTypeB(card, answer.bytes.data(), &answer.length), answer);
}

void feliCaDetails(std::int32_t card) {
    Reply reply;
    const std::int32_t status = oPollISO18092_TypeCTag(card, reply.bytes.data(), &reply.length);
    step("FeliCa InListPassiveTarget", status, reply);
    if (status != QVR_SW_SUCCESS || reply.length < 11) return;
    // The IDm is at bytes 3 to 10 of the polling reply.
    const std::string idm = formatHex({reply.bytes.data() + 3, 8});
    std::string idmText;
    for (const char c : idm)
        if (c != ' ') idmText += c;
    Reply answer;
    step("FeliCa Request Response", oRequestResponseTypeC(card, idmText.c_str(), answer.bytes.data(), &answer.length),
         answer);
    if (answer.length == 1) std::printf("%-28s IDm %s, mode %u\n", "", idm.c_str(), answer.bytes[0]);
}

void sendCommand(std::int32_t card, const ProbeOptions& options) {
    const auto& command = *options.command;
    Reply reply;
    const std::int32_t result = oSendTo(card, options.exchangeType, command.data(),
                                        static_cast<std::int32_t>(command.size()), reply.bytes.data(),
                                        static_cast<std::int32_t>(reply.bytes.size()), &reply.length);
    std::printf("%-28s [%s] (exchange type %d)\n", "Send", formatHex(command).c_str(),
                options.exchangeType);
    if (options.exchangeType == QVR_EXCHANGE_RAW) {
        const auto count = static_cast<std::size_t>(result > 0 && result <= QVR_CAPACITY_MAX ? result : 0);
        std::printf("%-28s %d bytes [%s]\n", "Answer", result, formatHex({reply.bytes.data(), count}).c_str());
    } else {
        step("Answer", result, reply);
    }
}

int runCommands(std::int32_t card, ConnectionKind kind, const ProbeOptions& options) {
    if (showFirmware(card) == QVR_TRANSPORT_FAILED) return explainRefusal(card, kind);
    if (options.buzzerOnDetection) setBuzzer(card, *options.buzzerOnDetection);
    Reply reply;
    step("Retry setting (one try)", oSetRetryTimeToOne(card, reply.bytes.data(), &reply.length), reply);
    const std::uint8_t type = pollTag(card);
    if (options.command) sendCommand(card, options);
    if (options.cardDetails && type == QVR_TAG_TYPE_B_14443_4) typeBDetails(card);
    if (options.cardDetails && (type == 0x11 || type == 0x12)) feliCaDetails(card);
    // The RF field stays on: with it off the reader's own polling finds no tag, and
    // PC/SC shows no card (and allows no shared connection) until a program polls.
    Reply closing;
    step("Deselect (InDeselect)", oDeSelectTag(card, closing.bytes.data(), &closing.length), closing);
    return kProbeDone;
}

int run(int argc, char** argv) {
    int exitCode = kProbeDone;
    const auto options = parseProbeOptions(argc, argv, exitCode);
    if (!options) return exitCode;
    passOptionsToLibrary(*options);

    if (options->waitSeconds)
        if (const int waited = waitForCard(*options->waitSeconds); waited != kProbeDone) return waited;
    std::string reader;
    if (const int listed = showReaders(reader); listed != kProbeDone) return listed;

    const std::int32_t card = oConnectPCSCReader();
    if (card == 0) return explainNoConnection(reader);
    const int result = runCommands(card, showConnection(card), *options);
    std::printf("%-28s status %s\n", "Disconnect", formatStatus(oDisconnectPCSCReader(card)).c_str());
    return result;
}

}  // namespace
}  // namespace qvr::tools

int main(int argc, char** argv) { return qvr::tools::run(argc, argv); }
