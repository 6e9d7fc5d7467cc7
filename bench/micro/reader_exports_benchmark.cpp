// Cost per call of each export family on the PC/SC double answering at once: what
// the library itself adds to every exchange (framing, hex conversion, trimming, the
// work record), without any reader or service behind it.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "pcsc_double.h"
#include "reader_api.h"

namespace {

using pcsc_double::Bytes;
using pcsc_double::hex;

constexpr std::int32_t kCard = 0x1A2B;

// Every exchange answers 61 Le, then the given GET RESPONSE answer.
void answerEveryExchangeWith(const std::string& getResponseAnswer) {
    pcsc_double::reset();
    pcsc_double::recordTransmits(false);
    const Bytes answer = hex(getResponseAnswer);
    pcsc_double::replyInCycle({{0x61, static_cast<std::uint8_t>(answer.size())}, answer});
}

Bytes cardAnswer(std::size_t dataBytes) {
    Bytes answer{0xD5, 0x41, 0x00};
    answer.insert(answer.end(), dataBytes, 0x5A);
    const Bytes statusWords{0x90, 0x00, 0x90, 0x00};  // the card's, then the reader's
    answer.insert(answer.end(), statusWords.begin(), statusWords.end());
    return answer;
}

void BM_Configuration_FirmwareVersion(benchmark::State& state) {
    answerEveryExchangeWith("D5 03 32 01 06 07 90 00");
    std::array<std::uint8_t, QVR_REPLY_MAX> reply{};
    std::int32_t length = 0;
    for (auto _ : state) benchmark::DoNotOptimize(oFirmwareVer(kCard, reply.data(), &length));
}
BENCHMARK(BM_Configuration_FirmwareVersion);

void BM_Configuration_RetryOnce(benchmark::State& state) {
    answerEveryExchangeWith("D5 33 90 00");
    std::array<std::uint8_t, QVR_REPLY_MAX> reply{};
    std::int32_t length = 0;
    for (auto _ : state) benchmark::DoNotOptimize(oSetRetryTimeToOne(kCard, reply.data(), &length));
}
BENCHMARK(BM_Configuration_RetryOnce);

void BM_Polling_PollingTags(benchmark::State& state) {
    answerEveryExchangeWith("D5 61 01 23 0F 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00 90 00");
    std::array<std::uint8_t, QVR_REPLY_MAX> reply{};
    std::int32_t length = 0;
    std::uint8_t found = 0;
    for (auto _ : state) benchmark::DoNotOptimize(oPollingTags(kCard, reply.data(), &length, &found, "01"));
}
BENCHMARK(BM_Polling_PollingTags);

void BM_Polling_FeliCaListPassiveTarget(benchmark::State& state) {
    answerEveryExchangeWith("D5 4B 01 01 14 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8 AA BB 90 00");
    std::array<std::uint8_t, QVR_REPLY_MAX> reply{};
    std::int32_t length = 0;
    for (auto _ : state) benchmark::DoNotOptimize(oPollISO18092_TypeCTag(kCard, reply.data(), &length));
}
BENCHMARK(BM_Polling_FeliCaListPassiveTarget);

// A direct connection (no card in the field): each command is one escape answered
// whole, without GET RESPONSE, and the engine looks the handle up in its table.
class DirectConnection {
public:
    explicit DirectConnection(const std::string& wholeAnswer) {
        pcsc_double::reset();
        pcsc_double::recordTransmits(false);
        pcsc_double::connectInMode(SCARD_SHARE_SHARED, SCARD_E_NO_SMARTCARD);
        pcsc_double::connectInMode(SCARD_SHARE_DIRECT, SCARD_S_SUCCESS, kCard, 0);
        card_ = oConnectPCSCReader();
        pcsc_double::replyInCycle({hex(wholeAnswer)});
    }
    ~DirectConnection() { oDisconnectPCSCReader(card_); }
    DirectConnection(const DirectConnection&) = delete;
    DirectConnection& operator=(const DirectConnection&) = delete;
    std::int32_t card() const { return card_; }

private:
    std::int32_t card_ = 0;
};

void BM_Direct_FirmwareVersion(benchmark::State& state) {
    const DirectConnection direct("D5 03 32 01 06 07 90 00");
    std::array<std::uint8_t, QVR_REPLY_MAX> reply{};
    std::int32_t length = 0;
    for (auto _ : state) benchmark::DoNotOptimize(oFirmwareVer(direct.card(), reply.data(), &length));
}
BENCHMARK(BM_Direct_FirmwareVersion);

void BM_Direct_PollingTags(benchmark::State& state) {
    const DirectConnection direct("D5 61 01 23 0F 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00 90 00");
    std::array<std::uint8_t, QVR_REPLY_MAX> reply{};
    std::int32_t length = 0;
    std::uint8_t found = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(oPollingTags(direct.card(), reply.data(), &length, &found, "01"));
}
BENCHMARK(BM_Direct_PollingTags);

void BM_Exchange_SendTo(benchmark::State& state) {
    const auto type = static_cast<std::int32_t>(state.range(0));
    const auto commandLength = static_cast<std::size_t>(state.range(1));
    pcsc_double::reset();
    pcsc_double::recordTransmits(false);
    if (type == 10) {
        pcsc_double::replyInCycle({{0x61, 0x12}, Bytes(20, 0x5A)});
    } else {
        const Bytes answer = cardAnswer(16);
        pcsc_double::replyInCycle({{0x61, static_cast<std::uint8_t>(answer.size())}, answer});
    }
    const Bytes command(commandLength, 0x00);
    std::array<std::uint8_t, 1000> reply{};
    std::int32_t length = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(oSendTo(kCard, type, command.data(), static_cast<std::int32_t>(commandLength),
                                         reply.data(), 1000, &length));
}
BENCHMARK(BM_Exchange_SendTo)->ArgNames({"type", "bytes"})->ArgsProduct({{10, 11, 12}, {5, 250}});

void BM_Exchange_RequestResponseFeliCa(benchmark::State& state) {
    answerEveryExchangeWith("D5 41 00 0B 05 01 02 03 04 05 06 07 08 00 90 00");
    std::array<std::uint8_t, QVR_REPLY_MAX> reply{};
    std::int32_t length = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(oRequestResponseTypeC(kCard, "0102030405060708", reply.data(), &length));
}
BENCHMARK(BM_Exchange_RequestResponseFeliCa);

void BM_Exchange_RequestResponseTypeB(benchmark::State& state) {
    pcsc_double::reset();
    pcsc_double::recordTransmits(false);
    const Bytes answer = cardAnswer(95);
    pcsc_double::replyInCycle({{0x61, static_cast<std::uint8_t>(answer.size())}, answer});
    std::array<std::uint8_t, QVR_REPLY_MAX> reply{};
    std::int32_t length = 0;
    for (auto _ : state) benchmark::DoNotOptimize(oRequestResponseTypeB(kCard, reply.data(), &length));
}
BENCHMARK(BM_Exchange_RequestResponseTypeB);

}  // namespace

BENCHMARK_MAIN();
