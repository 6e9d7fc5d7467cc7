// --wait: first a reader (the one the library would use), then a card on it.
#ifndef QVR_PROBE_READER_WAITING_H
#define QVR_PROBE_READER_WAITING_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qvr::tools {

struct WaitResult {
    enum class Outcome { CardPresent, NoReader, NoCard, ServiceError } outcome = Outcome::ServiceError;
    std::string reader;             // the reader found
    double readerSeconds = 0;       // when it was found, from the start (0: there at once)
    double cardSeconds = 0;         // when the card was found
    std::vector<std::uint8_t> atr;  // the card's ATR
    long error = 0;                 // the PC/SC result behind ServiceError
};

// Waits at most limit. readerText as for the library (null or empty: the first reader).
// pcscd announces readers and cards through SCardGetStatusChange; each wait lasts at
// most a second before the list is read again, so an announcement missed, or a pcscd
// without hot-plug notification, costs at most that second.
WaitResult waitForReaderAndCard(const char* readerText, std::chrono::seconds limit);

}  // namespace qvr::tools

#endif
