// virtual-reader-wait: waits until the PC/SC service answers and lists a reader
// whose name contains a given text, and optionally until that reader holds a card
// (or is empty). Prints the reader's name. Start-up scripts poll with it instead of
// sleeping.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <winscard.h>

namespace {

enum class CardWanted { Any, Present, Absent };

struct Request {
    std::string readerText = "ACR122U";
    CardWanted card = CardWanted::Any;
    std::chrono::milliseconds timeout{10000};
};

std::optional<Request> parse(int argc, char** argv) {
    Request request;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--reader") {
            request.readerText = value;
        } else if (option == "--card" && (value == "present" || value == "absent" || value == "any")) {
            request.card = value == "present" ? CardWanted::Present
                         : value == "absent"  ? CardWanted::Absent
                                              : CardWanted::Any;
        } else if (option == "--timeout") {
            request.timeout = std::chrono::milliseconds(static_cast<long>(std::atof(value.c_str()) * 1000));
        } else {
            return std::nullopt;
        }
    }
    if (argc % 2 == 0) return std::nullopt;
    return request;
}

// The first reader whose name contains the text.
std::optional<std::string> findReader(SCARDCONTEXT context, const std::string& text) {
    DWORD size = 0;
    if (SCardListReaders(context, nullptr, nullptr, &size) != SCARD_S_SUCCESS) return std::nullopt;
    std::vector<char> names(size);
    if (SCardListReaders(context, nullptr, names.data(), &size) != SCARD_S_SUCCESS) return std::nullopt;
    for (const char* name = names.data(); *name != '\0'; name += std::strlen(name) + 1) {
        if (std::strstr(name, text.c_str())) return std::string(name);
    }
    return std::nullopt;
}

bool cardAsWanted(SCARDCONTEXT context, const std::string& reader, CardWanted wanted) {
    if (wanted == CardWanted::Any) return true;
    SCARD_READERSTATE state{};
    state.szReader = reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    if (SCardGetStatusChange(context, 0, &state, 1) != SCARD_S_SUCCESS) return false;
    const bool present = (state.dwEventState & SCARD_STATE_PRESENT) != 0;
    return wanted == CardWanted::Present ? present : !present;
}

// One look: the reader's name once everything is as wanted.
std::optional<std::string> look(const Request& request) {
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
        return std::nullopt;
    }
    auto reader = findReader(context, request.readerText);
    if (reader && !cardAsWanted(context, *reader, request.card)) reader.reset();
    SCardReleaseContext(context);
    return reader;
}

}  // namespace

int main(int argc, char** argv) {
    const auto request = parse(argc, argv);
    if (!request) {
        std::fprintf(stderr, "usage: virtual-reader-wait [--reader TEXT] [--card present|absent|any] "
                             "[--timeout SECONDS]\n");
        return 2;
    }
    const auto deadline = std::chrono::steady_clock::now() + request->timeout;
    while (true) {
        if (const auto reader = look(*request)) {
            std::printf("%s\n", reader->c_str());
            return 0;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fprintf(stderr, "virtual-reader-wait: no reader \"%s\" as wanted within the time\n",
                 request->readerText.c_str());
    return 1;
}
