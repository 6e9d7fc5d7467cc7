// Calls one export a given number of times on the PC/SC double, for instruction
// counting under callgrind: `export_call_driver oSendTo11 1000`.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "pcsc_double.h"
#include "reader_api.h"

namespace {

using pcsc_double::Bytes;
using pcsc_double::hex;

constexpr std::int32_t kCard = 0x1A2B;
std::array<std::uint8_t, QVR_CAPACITY_MAX> reply{};
std::int32_t length = 0;
std::uint8_t found = 0;
const Bytes command5 = hex("00 B0 00 00 10");

struct Driven {
    const char* getResponseAnswer;
    std::function<std::int32_t()> call;
};

const std::map<std::string, Driven>& exportsByName() {
    static const std::map<std::string, Driven> table{
        {"oFirmwareVer", {"D5 03 32 01 06 07 90 00", [] { return oFirmwareVer(kCard, reply.data(), &length); }}},
        {"oSetRetryTimeToOne", {"D5 33 90 00", [] { return oSetRetryTimeToOne(kCard, reply.data(), &length); }}},
        {"oDeSelectTag", {"D5 45 00 90 00", [] { return oDeSelectTag(kCard, reply.data(), &length); }}},
        {"oPollingTags",
         {"D5 61 01 23 0F 01 50 E8 25 3E EC 00 00 00 11 00 81 85 01 00 90 00",
          [] { return oPollingTags(kCard, reply.data(), &length, &found, "01"); }}},
        {"oPollISO18092_TypeCTag",
         {"D5 4B 01 01 14 01 01 02 03 04 05 06 07 08 F1 F2 F3 F4 F5 F6 F7 F8 AA BB 90 00",
          [] { return oPollISO18092_TypeCTag(kCard, reply.data(), &length); }}},
        {"oSendTo11",
         {"D5 41 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 90 00 90 00",
          [] { return oSendTo(kCard, QVR_EXCHANGE_CARD_DATA, command5.data(), 5, reply.data(), QVR_CAPACITY_MAX, &length); }}},
        {"oSendTo12",
         {"D5 41 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 90 00 90 00",
          [] { return oSendTo(kCard, QVR_EXCHANGE_CARD_ANSWER, command5.data(), 5, reply.data(), QVR_CAPACITY_MAX, &length); }}},
        {"oRequestResponseTypeC",
         {"D5 41 00 0B 05 01 02 03 04 05 06 07 08 00 90 00",
          [] { return oRequestResponseTypeC(kCard, "0102030405060708", reply.data(), &length); }}},
    };
    return table;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || exportsByName().count(argv[1]) == 0) {
        std::fprintf(stderr, "usage: export_call_driver EXPORT COUNT\nexports:");
        for (const auto& [name, driven] : exportsByName()) std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    const Driven& driven = exportsByName().at(argv[1]);
    pcsc_double::reset();
    pcsc_double::recordTransmits(false);
    const Bytes answer = hex(driven.getResponseAnswer);
    pcsc_double::replyInCycle({{0x61, static_cast<std::uint8_t>(answer.size())}, answer});
    const long count = std::strtol(argv[2], nullptr, 10);
    std::int32_t last = 0;
    for (long i = 0; i < count; ++i) last = driven.call();
    return last == QVR_SW_SUCCESS || last == 0x0102 ? 0 : 1;
}
