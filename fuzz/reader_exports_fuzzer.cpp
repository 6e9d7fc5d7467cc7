// Every export of the shipped reader library fed with arbitrary reader answers and
// arbitrary caller arguments, on a card connection (T=0 or T=1) or on a direct one (no
// card in the field: commands go through the escape and answers come whole). Checks the
// invariants a caller relies on: nothing
// written past the 251 bytes of a reply buffer (or the capacity of a raw exchange),
// a reply length within what was delivered except for a direct answer, and results
// that are documented codes or status words.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pcsc_double.h"
#include "reader_api.h"

namespace {

// Aborts, naming the failed check's line, so the fuzzer keeps the input that broke it.
void check(bool condition, int line = __builtin_LINE()) {
    if (condition) return;
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}

constexpr std::size_t kReply = 251;

bool documented(std::int32_t result) {
    return (result >= 0 && result <= 0xFFFF) || result == QVR_POLL_NO_FELICA_TARGET;
}

std::string hexText(FuzzedDataProvider& in, std::size_t characters) {
    static const char digits[] = "0123456789ABCDEFabcdef";
    std::string text;
    const bool garbage = in.ConsumeIntegralInRange(0, 7) == 0;
    for (std::size_t i = 0; i < characters; ++i)
        text += garbage ? static_cast<char>(in.ConsumeIntegral<std::uint8_t>())
                        : digits[in.ConsumeIntegralInRange<std::size_t>(0, sizeof digits - 2)];
    return text;
}

std::int32_t callExport(FuzzedDataProvider& in, std::int32_t card, std::uint8_t* reply, std::int32_t* length,
                        bool& directAnswerPossible, std::size_t& rawCapacity) {
    const std::string period = hexText(in, 2);
    const std::string type = hexText(in, 2);
    const std::string idm = hexText(in, 16);
    std::uint8_t found = 0;
    switch (in.ConsumeIntegralInRange(0, 15)) {
        case 0: return oFirmwareVer(card, reply, length);
        case 1: return oDeSelectTag(card, reply, length);
        case 2: return oTurnOffAntennaPower(card, reply, length);
        case 3: return oConfigureReader(card, reply, length);
        case 4: return oSetRetryTimeToOne(card, reply, length);
        case 5: return oChangeBaudRate(card, reply, length, in.ConsumeIntegral<std::int32_t>());
        case 6: return oPollISO14443_TypeBTag(card, reply, length);
        case 7: return oPollISO18092_TypeCTag(card, reply, length);
        case 8: return oPollingTags(card, reply, length, &found, period.c_str());
        case 9: return oPollThisTag(card, reply, length, type.c_str(), &found, period.c_str());
        case 10: return oRequestResponseTypeB(card, reply, length);
        case 11: return oRequestResponseTypeC(card, idm.c_str(), reply, length);
        default: {
            const auto exchangeType = static_cast<std::int32_t>(in.PickValueInArray({10, 11, 12, 13}));
            const std::int32_t commandLength = in.ConsumeIntegralInRange<std::int32_t>(-1, 260);
            std::vector<std::uint8_t> command(static_cast<std::size_t>(std::max(commandLength, 0)), 0x00);
            const std::int32_t capacity = in.ConsumeIntegralInRange<std::int32_t>(-1, 251);
            directAnswerPossible = exchangeType != 10;
            if (exchangeType == 10) rawCapacity = static_cast<std::size_t>(std::max(capacity, 0));
            return oSendTo(card, exchangeType, command.data(), commandLength, reply, capacity, length);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    pcsc_double::reset();
    std::int32_t card = in.ConsumeIntegralInRange(0, 9) == 0 ? 0 : 0x1A2B;
    const int road = card == 0 ? 0 : in.ConsumeIntegralInRange(0, 3);
    const bool direct = road == 1;
    const bool t1 = road == 2;
    if (direct) {
        pcsc_double::connectInMode(SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD);
        pcsc_double::connectInMode(SCARD_SHARE_DIRECT, SCARD_S_SUCCESS, 0x3C4D, 0);
        card = oConnectPCSCReader();
        check(card == 0x3C4D);
    }
    if (t1) {
        // The CCID driver gives an ACR122U with a tag T=1: whole answers.
        pcsc_double::setConnectResult(0x1A2B, SCARD_PROTOCOL_T1);
        card = oConnectPCSCReader();
        check(card == 0x1A2B);
    }
    for (int i = 0; i < 2; ++i) {
        if (in.ConsumeIntegralInRange(0, 9) == 0) pcsc_double::failTransmit(SCARD_E_NO_SMARTCARD);
        else if (in.ConsumeBool()) pcsc_double::replyWith({0x61, in.ConsumeIntegral<std::uint8_t>()});
        else pcsc_double::replyWith(in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 300)));
    }

    auto* reply = new std::uint8_t[kReply];  // exactly 251 bytes: AddressSanitizer guards the end
    std::memset(reply, 0xA5, kReply);
    std::int32_t length = -7;
    bool directAnswerPossible = true;
    std::size_t rawCapacity = 0;
    const std::int32_t result = callExport(in, card, reply, &length, directAnswerPossible, rawCapacity);

    check(documented(result));
    if (rawCapacity > 0) check(result <= static_cast<std::int32_t>(rawCapacity) || result == QVR_NOT_SENT);
    // A reply length either keeps the caller's value (nothing was sent), or counts
    // delivered bytes, or (direct answer) the reader's answer less its status word.
    const std::size_t firstReplyLimit = 1000;
    check(length == -7 || (length >= 0 && static_cast<std::size_t>(length) <= kReply) ||
          (directAnswerPossible && static_cast<std::size_t>(length) <= firstReplyLimit - 2));
    if (direct || t1) check(oDisconnectPCSCReader(card) == QVR_SW_SUCCESS && pcsc_double::openContexts() == 0);
    delete[] reply;
    return 0;
}
