// The same exchange and poll through the reader library: oSendTo type 11 and
// oPollingTags. usage: library_loop exchange|poll WARMUP COUNT
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "exchange_plan.h"
#include "reader_api.h"

namespace {

std::array<std::uint8_t, 1000> reply{};
std::int32_t length = 0;

bool exchange(std::int32_t card) {
    return oSendTo(card, QVR_EXCHANGE_CARD_DATA, kCardCommand, sizeof kCardCommand, reply.data(), 1000, &length) ==
               QVR_SW_SUCCESS &&
           length == 16;
}

bool poll(std::int32_t card) {
    std::uint8_t found = 0;
    return oPollingTags(card, reply.data(), &length, &found, "01") == QVR_SW_SUCCESS && found == 0x23;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const bool polling = std::string_view(argv[1]) == "poll";
    const long warmup = std::strtol(argv[2], nullptr, 10), count = std::strtol(argv[3], nullptr, 10);
    const std::int32_t card = oConnectPCSCReader();
    if (card == 0 || !poll(card)) return 1;
    auto once = polling ? poll : exchange;
    for (long i = 0; i < warmup; ++i)
        if (!once(card)) return 1;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i)
        if (!once(card)) return 1;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("library %s %.1f\n", argv[1], static_cast<double>(count) / elapsed.count());
    oDisconnectPCSCReader(card);
    return 0;
}
