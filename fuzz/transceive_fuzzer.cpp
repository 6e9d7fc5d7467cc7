// The transceive engine fed with arbitrary reader answers, modes, classes, command
// lengths and capacities, on a card connection under T=0 or T=1 or a direct one (the
// escape), checked
// against a model of the reader protocol written independently of the engine: the
// same bytes on the wire, the same capacities, the same status, reply length and
// delivered bytes, and nothing written past them.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "context_table.h"
#include "pcsc_double.h"
#include "transceive.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace qvr;

// Aborts, naming the failed check's line, so the fuzzer keeps the input that broke it.
void check(bool condition, int line = __builtin_LINE()) {
    if (condition) return;
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}

struct Script {
    std::uint8_t mode;
    std::uint8_t responseClass;
    std::int32_t card;
    Bytes command;
    std::int32_t commandLength;
    std::int32_t capacity;
    bool firstFails;
    Bytes first;
    bool secondFails;
    Bytes second;
    Link link;  // T=1 and the escape answer whole; T=1 may still announce with 61 Le
};

struct Outcome {
    std::int32_t status;
    std::int32_t replyLength;
    Bytes delivered;
    std::vector<std::pair<Bytes, DWORD>> wire;
};

// Mostly one of the usual values, sometimes any byte at all.
std::uint8_t pick(FuzzedDataProvider& in, std::initializer_list<int> usual) {
    if (in.ConsumeIntegralInRange(0, 3) == 0) return in.ConsumeIntegral<std::uint8_t>();
    const auto index = in.ConsumeIntegralInRange<std::size_t>(0, usual.size() - 1);
    return static_cast<std::uint8_t>(*(usual.begin() + static_cast<long>(index)));
}

Bytes reply(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: return {0x61, in.ConsumeIntegral<std::uint8_t>()};  // data pending
        case 1: return in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 12));
        default: return in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 1100));
    }
}

Script readScript(FuzzedDataProvider& in) {
    Script s{};
    s.mode = pick(in, {kModeLedBuzzer, kModeDirect, kModeDataExchange});
    s.responseClass = pick(in, {kClassCardData, kClassCardAnswer, kClassChipData});
    s.card = in.ConsumeIntegralInRange(0, 7) == 0 ? 0 : 0x1A2B;
    s.commandLength = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-3, 260)
                                       : in.ConsumeIntegral<std::int32_t>();
    s.command = in.ConsumeBytes<std::uint8_t>(
        static_cast<std::size_t>(std::clamp<std::int32_t>(s.commandLength, 0, 300)));
    s.command.resize(static_cast<std::size_t>(std::clamp<std::int32_t>(s.commandLength, 0, 300)), 0xC3);
    s.capacity = in.ConsumeBool() ? 4 : in.ConsumeIntegralInRange<std::int32_t>(-2, 1200);
    s.firstFails = in.ConsumeIntegralInRange(0, 15) == 0;
    s.secondFails = in.ConsumeIntegralInRange(0, 15) == 0;
    s.first = reply(in);
    s.second = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 300));
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: s.link = Link::kDirect; break;
        case 1: s.link = Link::kCardT1; break;
        default: s.link = Link::kCardT0; break;
    }
    return s;
}

// ---- The model ---------------------------------------------------------------------

Bytes frame(const Script& s) {
    const auto n = static_cast<std::size_t>(s.commandLength);
    Bytes apdu;
    if (s.mode == kModeLedBuzzer) apdu = {0xFF, 0x00, 0x40, 0x50, static_cast<std::uint8_t>(n)};
    if (s.mode == kModeDirect) apdu = {0xFF, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(n)};
    if (s.mode == kModeDataExchange) apdu = {0xFF, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(n + 3), 0xD4, 0x40, 0x01};
    apdu.insert(apdu.end(), s.command.begin(), s.command.begin() + static_cast<long>(n));
    return apdu;
}

std::int32_t at(const Bytes& b, long position) { return position >= 0 ? b[static_cast<std::size_t>(position)] : 0; }

// A fetched answer g (or a whole answer through the escape), cut by the table.
void trim(const Script& s, const Bytes& g, Outcome& o) {
    o.status = QVR_TRANSPORT_FAILED;
    const long m = static_cast<long>(g.size());
    long from = 0, to = m - 2, statusAt = m - 2;
    if (s.mode == kModeDirect) {
        if (m < 2) return;
        if (m >= 9) {
            if (s.responseClass == kClassCardData) from = 4;
            else if (s.responseClass == kClassCardAnswer) from = 3;
            else if (s.responseClass == kClassChipData) from = 2;
            else { o.status = 0; return; }
        }
    } else {
        if (m < 2) { o.status = 0; return; }
        if (s.responseClass != kClassCardData && s.responseClass != kClassCardAnswer) return;
        if (s.responseClass == kClassCardData) statusAt = m - 4;
        if (m >= 8) {
            from = 3;
            if (s.responseClass == kClassCardData) to = m - 4;
        }
    }
    to = std::min(to, from + 251);  // the most a reply buffer receives
    o.delivered.assign(g.begin() + from, g.begin() + to);
    o.replyLength = static_cast<std::int32_t>(to - from);
    o.status = at(g, statusAt) * 256 + at(g, statusAt + 1);
}

// The escape: the engine's whole 1000-byte buffer, no GET RESPONSE; a bare status
// word is a direct answer, anything shorter a failure, anything longer trimmed.
void modelEscape(const Script& s, Outcome& o) {
    o.wire.push_back({frame(s), 1000});
    const bool answered = !s.firstFails && s.first.size() <= 1000 && s.first.size() >= 2;
    if (s.mode == kModeLedBuzzer) {
        o.status = answered ? QVR_SW_SUCCESS : QVR_LED_TRANSMIT_FAILED;
        return;
    }
    o.status = QVR_TRANSPORT_FAILED;
    if (!answered) return;
    if (s.first.size() == 2) {
        o.status = s.first[0] * 256 + s.first[1];
        return;
    }
    trim(s, s.first, o);
}

Outcome model(const Script& s, std::int32_t initialLength) {
    Outcome o{QVR_NOT_SENT, initialLength, {}, {}};
    if (s.card == 0) return o;
    o.replyLength = 0;
    const std::int32_t limit = s.mode == kModeDataExchange ? 252 : 255;
    if (s.commandLength < 0 || s.commandLength > limit || s.capacity < 0) return o;
    if (s.mode != kModeLedBuzzer && s.mode != kModeDirect && s.mode != kModeDataExchange) return o;
    if (s.link == Link::kDirect) {
        modelEscape(s, o);
        return o;
    }
    // Under T=1 the first reply of modes 8 and 9 may fill the engine's whole buffer.
    const bool whole = s.link == Link::kCardT1 && s.mode != kModeLedBuzzer;
    const DWORD capacity = whole ? 1000 : static_cast<DWORD>(std::min(s.capacity, 1000));
    o.wire.push_back({frame(s), capacity});
    const bool firstOk = !s.firstFails && s.first.size() <= capacity;
    if (s.mode == kModeLedBuzzer) {
        o.status = firstOk ? QVR_SW_SUCCESS : QVR_LED_TRANSMIT_FAILED;
        return o;
    }
    o.status = QVR_TRANSPORT_FAILED;
    if (!firstOk || s.first.size() < 2) return o;
    if (whole && s.first.size() > 2) {
        trim(s, s.first, o);
        return o;
    }
    if (s.first.size() != 2 || s.first[0] != 0x61) {
        o.status = s.first[0] * 256 + s.first[1];
        o.replyLength = static_cast<std::int32_t>(s.first.size() - 2);
        return o;
    }
    const std::uint8_t le = s.first[1];
    o.wire.push_back({{0xFF, 0xC0, 0x00, 0x00, le}, le});
    if (s.secondFails || s.second.size() > le) return o;
    trim(s, s.second, o);
    return o;
}

// ---- The engine on the double --------------------------------------------------------

void script(const Script& s) {
    pcsc_double::reset();
    if (s.firstFails) pcsc_double::failTransmit(SCARD_E_COMM_DATA_LOST);
    else pcsc_double::replyWith(s.first);
    if (s.secondFails) pcsc_double::failTransmit(SCARD_E_COMM_DATA_LOST);
    else pcsc_double::replyWith(s.second);
}

// Transmits on a card connection (with the protocol information of its protocol),
// escapes (with the CCID escape code) on a direct one.
template <typename Exchanges>
void checkExchanges(const Exchanges& sent, const Outcome& expected) {
    check(sent.size() == expected.wire.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        check(sent[i].sent == expected.wire[i].first);
        check(sent[i].capacity == expected.wire[i].second);
    }
}

void checkWire(Link link, const Outcome& expected) {
    if (link != Link::kDirect) {
        checkExchanges(pcsc_double::transmits(), expected);
        for (const auto& transmit : pcsc_double::transmits())
            check(link == Link::kCardT1 ? transmit.t1Pci : transmit.t0Pci);
        check(pcsc_double::controls().empty());
        return;
    }
    checkExchanges(pcsc_double::controls(), expected);
    check(pcsc_double::transmits().empty());
    for (const auto& escape : pcsc_double::controls()) check(escape.code == 0x42000DAC);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const Script s = readScript(in);
    script(s);

    // Exactly 251 bytes of destination: AddressSanitizer reports any write past it.
    constexpr std::size_t kDestination = 251;
    auto* destination = new std::uint8_t[kDestination];
    std::memset(destination, 0xA5, kDestination);
    std::int32_t replyLength = -31;
    qvr::ReaderPart reader{};
    reader.card = s.card;
    if (s.link != Link::kCardT0 && s.card != 0) qvr::rememberContext(s.card, 0, s.link);
    const std::int32_t status = qvr::Transceive(destination, s.capacity, reader, s.mode, s.responseClass,
                                                s.command.data(), s.commandLength, &replyLength);
    const Outcome expected = model(s, -31);

    check(status == expected.status);
    check(replyLength == expected.replyLength);
    check(expected.delivered.size() <= kDestination);
    check(expected.delivered.empty() ||
          std::memcmp(destination, expected.delivered.data(), expected.delivered.size()) == 0);
    for (std::size_t i = expected.delivered.size(); i < kDestination; ++i) check(destination[i] == 0xA5);
    checkWire(s.link, expected);
    qvr::takeContext(s.card);
    delete[] destination;
    return 0;
}
