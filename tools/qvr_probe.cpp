// qvr-probe: what the reader stack sees, step by step, in words a person can read.
// It goes through the reader library exactly as an application would.
#include <array>
#include <cstdio>
#include <string>

#include "hex_text.h"
#include "probe_options.h"
#include "reader_api.h"
#include "reader_listing.h"
#include "tag_types.h"

namespace {

constexpr int kNoReader = 3;
constexpr int kNoConnection = 4;

struct Reply {
    std::array<std::uint8_t, 1000> bytes{};
    std::int32_t length = 0;
    std::string text() const {
        return formatHex(bytes.data(), static_cast<std::size_t>(std::max(length, 0)));
    }
};

void step(const char* what, std::int32_t status, const Reply& reply) {
    std::printf("%-28s status %s  reply [%s]\n", what, formatStatus(status).c_str(), reply.text().c_str());
}

void showFirmware(std::int32_t card) {
    Reply reply;
    const std::int32_t status = oFirmwareVer(card, reply.bytes.data(), &reply.length);
    step("Firmware version", status, reply);
    if (status == QVR_SW_SUCCESS && reply.length == 6)
        std::printf("%-28s IC %02X, version %u.%u, supports %02X\n", "", reply.bytes[2], reply.bytes[3],
                    reply.bytes[4], reply.bytes[5]);
}

void setBuzzer(std::int32_t card, bool on) {
    // ACR122U pseudo-APDU FF 00 52 P1 00: beep on card detection (P1 FF) or not (00).
    const std::array<std::uint8_t, 5> apdu{0xFF, 0x00, 0x52, static_cast<std::uint8_t>(on ? 0xFF : 0x00), 0x00};
    Reply reply;
    const std::int32_t count =
        oSendTo(card, QVR_EXCHANGE_RAW, apdu.data(), 5, reply.bytes.data(), 16, &reply.length);
    std::printf("%-28s %s, reader answered [%s]\n", "Buzzer on card detection", on ? "on" : "off",
                formatHex(reply.bytes.data(), static_cast<std::size_t>(count > 0 && count <= 16 ? count : 0)).c_str());
}

std::uint8_t pollTag(std::int32_t card) {
    Reply reply;
    std::uint8_t type = 0;
    const std::int32_t status = oPollingTags(card, reply.bytes.data(), &reply.length, &type, "01");
    step("Poll (InAutoPoll)", status, reply);
    if (status == QVR_SW_SUCCESS) std::printf("%-28s 0x%02X: %s\n", "Tag type found", type, tagTypeName(type).c_str());
    return status == QVR_SW_SUCCESS ? type : 0;
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
    const std::string idm = formatHex(reply.bytes.data() + 3, 8);
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
    std::printf("%-28s [%s] (exchange type %d)\n", "Send", formatHex(command.data(), command.size()).c_str(),
                options.exchangeType);
    if (options.exchangeType == QVR_EXCHANGE_RAW) {
        const auto count = static_cast<std::size_t>(result > 0 && result <= 1000 ? result : 0);
        std::printf("%-28s %d bytes [%s]\n", "Answer", result, formatHex(reply.bytes.data(), count).c_str());
    } else {
        step("Answer", result, reply);
    }
}

void close(std::int32_t card) {
    Reply reply;
    step("Deselect (InDeselect)", oDeSelectTag(card, reply.bytes.data(), &reply.length), reply);
    step("RF field off", oTurnOffAntennaPower(card, reply.bytes.data(), &reply.length), reply);
    std::printf("%-28s status %s\n", "Disconnect", formatStatus(oDisconnectPCSCReader(card)).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    const auto options = parseProbeOptions(argc, argv, exitCode);
    if (!options) return exitCode;

    std::string error;
    const auto readers = listReaders(error);
    if (readers.empty()) {
        std::printf("No PC/SC reader found (%s).\n", error.c_str());
        return kNoReader;
    }
    std::printf("PC/SC readers:\n");
    for (std::size_t i = 0; i < readers.size(); ++i)
        std::printf("  [%zu] %s%s\n", i, readers[i].c_str(), i == 0 ? "   <- used by the library" : "");

    const std::int32_t card = oConnectPCSCReader();
    if (card == 0) {
        std::printf("Could not connect to the first reader (shared, T=0).\n");
        return kNoConnection;
    }
    std::printf("%-28s card handle 0x%08X\n", "Connected", static_cast<std::uint32_t>(card));

    showFirmware(card);
    if (options->buzzerOnDetection) setBuzzer(card, *options->buzzerOnDetection);
    Reply reply;
    step("Retry setting (one try)", oSetRetryTimeToOne(card, reply.bytes.data(), &reply.length), reply);
    const std::uint8_t type = pollTag(card);
    if (options->command) sendCommand(card, *options);
    if (options->cardDetails && type == 0x23) typeBDetails(card);
    if (options->cardDetails && (type == 0x11 || type == 0x12)) feliCaDetails(card);
    close(card);
    return 0;
}
