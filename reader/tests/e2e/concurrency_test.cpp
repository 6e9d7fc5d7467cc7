// Several threads use the library on one reader at once, each with its own handle.
// The library takes no lock: without one, a thread's exchange can be cut by
// another's (under T=0 between command and GET RESPONSE; under T=1, as here, the
// reader answers whole), so answers may be wrong but must stay sane; wrapped in
// PC/SC transactions, every answer is exact.
#include <winscard.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "library_session.h"

namespace qvr_e2e {
namespace {

constexpr int kThreads = 4;
constexpr int kCallsPerThread = 200;

const Bytes kSelectDemoApplication = hex("00 A4 04 00 06 F0 51 56 52 00 01");
const Bytes kRawFirmware = hex("FF 00 48 00 00");
const std::string kDemoAtqb = "50 E8 25 3E EC 00 00 00 11 00 81 85";

// One call of the mix every thread runs: what it returned and whether the answer
// was exactly the one a lone caller gets.
struct Outcome {
    bool sane = true;
    bool exact = false;
    std::string description;
};

bool lengthInRange(const Reply& reply) { return reply.length >= 0 && reply.length <= 251; }

Outcome callNumber(int i, std::int32_t card) {
    Outcome outcome;
    Reply reply;
    switch (i % 5) {
        case 0: {
            const std::int32_t status = oPollISO14443_TypeBTag(card, reply.data(), &reply.length);
            outcome.exact = status == QVR_SW_SUCCESS && reply.text().rfind(kDemoAtqb, 0) == 0;
            outcome.sane = lengthInRange(reply) && status >= 0 && status <= 0xFFFF;
            outcome.description = "oPollISO14443_TypeBTag " + statusText(status) + " " + reply.text();
            break;
        }
        case 1: {
            const std::int32_t status = oFirmwareVer(card, reply.data(), &reply.length);
            outcome.exact = status == QVR_SW_SUCCESS && reply.text() == "D5 03 32 01 06 07";
            outcome.sane = lengthInRange(reply) && status >= 0 && status <= 0xFFFF;
            outcome.description = "oFirmwareVer " + statusText(status) + " " + reply.text();
            break;
        }
        case 2: {
            std::uint8_t found = 0xEE;
            const std::int32_t status = oPollingTags(card, reply.data(), &reply.length, &found, "01");
            outcome.exact = status == QVR_SW_SUCCESS && found == 0x23;
            outcome.sane = lengthInRange(reply) && status >= 0 && status <= 0xFFFF;
            outcome.description = "oPollingTags " + statusText(status) + " type " + statusText(found);
            break;
        }
        case 3: {
            const std::int32_t status = oSendTo(card, QVR_EXCHANGE_CARD_DATA, kSelectDemoApplication.data(), 11,
                                                reply.data(), 1000, &reply.length);
            outcome.exact = status == QVR_SW_SUCCESS && reply.text() == "6F 08 84 06 F0 51 56 52 00 01";
            outcome.sane = lengthInRange(reply) && status >= 0 && status <= 0xFFFF;
            outcome.description = "oSendTo 11 " + statusText(status) + " " + reply.text();
            break;
        }
        default: {
            const std::int32_t count =
                oSendTo(card, QVR_EXCHANGE_RAW, kRawFirmware.data(), 5, reply.data(), 64, &reply.length);
            outcome.exact = count == 10 && std::memcmp(reply.data(), "ACR122U215", 10) == 0;
            outcome.sane = count >= 0 && count <= 64 && reply.length == 0 && reply.bytes[64] == Reply::kUntouched;
            outcome.description = "oSendTo 10 count " + std::to_string(count);
            break;
        }
    }
    outcome.sane = outcome.sane && reply.guardIntact();
    return outcome;
}

struct ThreadFigures {
    std::int32_t card = 0;
    int exact = 0;
    int insane = 0;
    std::string firstInsane;
    std::string firstInexact;
};

// Runs the mix on kThreads threads, each connecting for itself; `wrap` runs each
// call (given the thread's handle).
std::vector<ThreadFigures> runThreads(
    const std::function<Outcome(std::int32_t, const std::function<Outcome()>&)>& wrap) {
    std::vector<ThreadFigures> figures(kThreads);
    std::atomic<int> connected{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ThreadFigures& mine = figures[static_cast<std::size_t>(t)];
            mine.card = oConnectPCSCReader();
            ++connected;
            // Start together, so that the calls really overlap.
            while (connected < kThreads) std::this_thread::yield();
            if (mine.card == 0) return;
            for (int i = 0; i < kCallsPerThread; ++i) {
                const Outcome outcome = wrap(mine.card, [i, &mine] { return callNumber(i, mine.card); });
                if (outcome.exact) ++mine.exact;
                else if (mine.firstInexact.empty()) mine.firstInexact = outcome.description;
                if (!outcome.sane) {
                    ++mine.insane;
                    if (mine.firstInsane.empty()) mine.firstInsane = outcome.description;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    return figures;
}

// After the storm every handle still works on its own; then all are closed (a
// disconnect unpowers the card, which ends the other connections too).
void expectHandlesStillWorkThenClose(const std::vector<ThreadFigures>& figures) {
    for (const auto& mine : figures) {
        Reply reply;
        EXPECT_EQ(statusText(oFirmwareVer(mine.card, reply.data(), &reply.length)), "0x9000");
        EXPECT_EQ(reply.text(), "D5 03 32 01 06 07");
    }
    for (const auto& mine : figures) oDisconnectPCSCReader(mine.card);
}

void printFigures(const char* what, const std::vector<ThreadFigures>& figures,
                  std::chrono::steady_clock::duration took) {
    int exact = 0;
    for (const auto& mine : figures) exact += mine.exact;
    std::printf("%s: %d threads x %d calls in %lld ms, %d answers exact\n", what, kThreads, kCallsPerThread,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()),
                exact);
    for (const auto& mine : figures)
        if (!mine.firstInexact.empty()) std::printf("  e.g. %s\n", mine.firstInexact.c_str());
}

TEST(Concurrency, UnlockedThreadsStaySane) {
    const auto started = std::chrono::steady_clock::now();
    const auto figures = runThreads([](std::int32_t, const std::function<Outcome()>& call) { return call(); });
    printFigures("without transactions", figures, std::chrono::steady_clock::now() - started);
    for (const auto& mine : figures) {
        ASSERT_NE(mine.card, 0);
        EXPECT_EQ(mine.insane, 0) << mine.firstInsane;
        EXPECT_GT(mine.exact, 0) << "no call of this thread got through";
    }
    expectHandlesStillWorkThenClose(figures);
}

TEST(Concurrency, TransactionsKeepAnswersExact) {
    const auto started = std::chrono::steady_clock::now();
    std::atomic<int> transactionFailures{0};
    const auto figures = runThreads([&](std::int32_t card, const std::function<Outcome()>& call) {
        const auto handle = static_cast<SCARDHANDLE>(card);
        if (SCardBeginTransaction(handle) != SCARD_S_SUCCESS) {
            ++transactionFailures;
            return Outcome{};
        }
        const Outcome outcome = call();
        if (SCardEndTransaction(handle, SCARD_LEAVE_CARD) != SCARD_S_SUCCESS) ++transactionFailures;
        return outcome;
    });
    printFigures("each call in a transaction", figures, std::chrono::steady_clock::now() - started);
    EXPECT_EQ(transactionFailures, 0);
    for (const auto& mine : figures) {
        ASSERT_NE(mine.card, 0);
        EXPECT_EQ(mine.insane, 0) << mine.firstInsane;
        EXPECT_EQ(mine.exact, kCallsPerThread) << "first wrong answer: " << mine.firstInexact;
    }
    expectHandlesStillWorkThenClose(figures);
}

}  // namespace
}  // namespace qvr_e2e
