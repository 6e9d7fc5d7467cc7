#include "reader_waiting.h"

#include <winscard.h>

#include <algorithm>
#include <thread>

#include "reader_listing.h"

namespace qvr::tools {

namespace {

using Clock = std::chrono::steady_clock;

// pcsc-lite's pseudo-reader whose state changes when a reader comes or goes.
constexpr char kPlugAndPlay[] = "\\\\?PnP?\\Notification";
constexpr auto kSlice = std::chrono::milliseconds(1000);

struct Waiter {
    SCARDCONTEXT context = 0;
    Clock::time_point start = Clock::now();
    Clock::time_point deadline;
    const char* readerText = nullptr;

    DWORD sliceMilliseconds() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return static_cast<DWORD>(std::clamp(left, std::chrono::milliseconds(0), kSlice).count());
    }
    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start).count(); }
    bool timeLeft() const { return Clock::now() < deadline; }
};

bool serviceFailure(long result) {
    return result == SCARD_E_NO_SERVICE || result == SCARD_F_COMM_ERROR || result == SCARD_W_SECURITY_VIOLATION ||
           result == SCARD_E_INVALID_HANDLE;
}

// The reader list read again, or a wait for it to change.
bool findReader(const Waiter& waiter, WaitResult& result) {
    while (true) {
        long error = 0;
        const auto names = listReaders(error);
        if (serviceFailure(error)) {
            result = {WaitResult::Outcome::ServiceError, {}, 0, 0, {}, error};
            return false;
        }
        if (const auto chosen = chooseReader(names, waiter.readerText)) {
            result.reader = names[*chosen];
            result.readerSeconds = waiter.elapsed();
            return true;
        }
        if (!waiter.timeLeft()) {
            result.outcome = WaitResult::Outcome::NoReader;
            return false;
        }
        SCARD_READERSTATE plugAndPlay{};
        plugAndPlay.szReader = kPlugAndPlay;
        plugAndPlay.dwCurrentState = static_cast<DWORD>(names.size()) << 16;
        const long changed = SCardGetStatusChange(waiter.context, waiter.sliceMilliseconds(), &plugAndPlay, 1);
        if (changed != SCARD_S_SUCCESS && changed != SCARD_E_TIMEOUT)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<DWORD>(waiter.sliceMilliseconds(), 250)));
    }
}

enum class CardWait { Present, ReaderLeft, TimedOut, Failed };

CardWait waitForCard(const Waiter& waiter, WaitResult& result) {
    SCARD_READERSTATE state{};
    state.szReader = result.reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    for (bool first = true;; first = false) {
        const long changed = SCardGetStatusChange(waiter.context, first ? 0 : waiter.sliceMilliseconds(), &state, 1);
        if (changed == SCARD_E_UNKNOWN_READER || changed == SCARD_E_READER_UNAVAILABLE) return CardWait::ReaderLeft;
        if (changed != SCARD_S_SUCCESS && changed != SCARD_E_TIMEOUT) {
            result.error = changed;
            return CardWait::Failed;
        }
        if (changed == SCARD_S_SUCCESS) {
            if ((state.dwEventState & (SCARD_STATE_UNKNOWN | SCARD_STATE_UNAVAILABLE)) != 0) return CardWait::ReaderLeft;
            if ((state.dwEventState & SCARD_STATE_PRESENT) != 0) {
                result.cardSeconds = waiter.elapsed();
                result.atr.assign(state.rgbAtr, state.rgbAtr + std::min<DWORD>(state.cbAtr, sizeof state.rgbAtr));
                return CardWait::Present;
            }
            state.dwCurrentState = state.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
        }
        if (!waiter.timeLeft()) return CardWait::TimedOut;
    }
}

}  // namespace

WaitResult waitForReaderAndCard(const char* readerText, std::chrono::seconds limit) {
    WaitResult result;
    Waiter waiter;
    waiter.deadline = waiter.start + limit;
    waiter.readerText = readerText;
    result.error = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &waiter.context);
    if (result.error != SCARD_S_SUCCESS) return result;
    while (findReader(waiter, result)) {
        const CardWait card = waitForCard(waiter, result);
        if (card == CardWait::ReaderLeft && waiter.timeLeft()) continue;
        result.outcome = card == CardWait::Present  ? WaitResult::Outcome::CardPresent
                         : card == CardWait::Failed ? WaitResult::Outcome::ServiceError
                         : card == CardWait::ReaderLeft ? WaitResult::Outcome::NoReader
                                                        : WaitResult::Outcome::NoCard;
        break;
    }
    SCardReleaseContext(waiter.context);
    return result;
}

}  // namespace qvr::tools
