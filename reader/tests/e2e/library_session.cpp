#include "library_session.h"

#include <winscard.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "program/control_client.h"

namespace qvr_e2e {

Bytes hex(const std::string& text) {
    Bytes bytes;
    std::string digits;
    for (char c : text) {
        if (c == ' ') continue;
        digits += c;
    }
    if (digits.size() % 2 != 0) throw std::invalid_argument("odd hex in test: " + text);
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string hexOf(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char piece[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(piece, sizeof piece, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += piece;
    }
    return text;
}

std::string Reply::text() const {
    if (length < 0 || static_cast<std::size_t>(length) > kRoom) return "<length " + std::to_string(length) + ">";
    return hexOf(bytes.data(), static_cast<std::size_t>(length));
}

bool Reply::guardIntact() const {
    for (std::size_t i = kRoom; i < bytes.size(); ++i)
        if (bytes[i] != kUntouched) return false;
    return true;
}

std::string control(const std::string& command) {
    const char* path = std::getenv("VIRTUAL_READER_CONTROL");
    if (path == nullptr) {
        ADD_FAILURE() << "VIRTUAL_READER_CONTROL is not set (run under scripts/virtual-reader run)";
        return {};
    }
    const auto answer = vreader::sendControlCommand(path, command, std::chrono::seconds(5));
    EXPECT_TRUE(answer) << "no answer to " << command;
    return answer.value_or("");
}

bool waitForCard(bool present, std::chrono::milliseconds timeout) {
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
        return false;
    char name[200] = {};
    bool reached = false;
    if (oPCSCReaderName(name) == 1) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        SCARD_READERSTATE state{};
        state.szReader = name;
        state.dwCurrentState = SCARD_STATE_UNAWARE;
        while (!reached && std::chrono::steady_clock::now() < deadline) {
            const LONG result = SCardGetStatusChange(context, 100, &state, 1);
            if (result == SCARD_S_SUCCESS) {
                reached = ((state.dwEventState & SCARD_STATE_PRESENT) != 0) == present;
                state.dwCurrentState = state.dwEventState;
            } else if (result != SCARD_E_TIMEOUT) {
                break;
            }
        }
    }
    SCardReleaseContext(context);
    return reached;
}

bool waitForReader(bool listed, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        char name[200] = {};
        if ((oPCSCReaderName(name) == 1) == listed) return true;
        SCARDCONTEXT context = 0;
        if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // pcscd not up yet
            continue;
        }
        // The high word counts the readers pcscd knows: it returns when that changes.
        SCARD_READERSTATE notification{};
        notification.szReader = "\\\\?PnP?\\Notification";
        notification.dwCurrentState = (listed ? 0u : 1u) << 16;
        SCardGetStatusChange(context, 500, &notification, 1);
        SCardReleaseContext(context);
    }
    return false;
}

std::string runDir() {
    const char* dir = std::getenv("VIRTUAL_READER_DIR");
    return dir ? dir : "";
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kilobytes = 0;
            status >> kilobytes;
            return kilobytes;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

int openDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    closedir(dir);
    return count - 1;  // the descriptor of the listing itself
}

void ConnectedLibrary::SetUp() {
    card = oConnectPCSCReader();
    ASSERT_NE(card, 0) << "oConnectPCSCReader found no reader";
}

void ConnectedLibrary::TearDown() {
    if (card != 0) oDisconnectPCSCReader(card);
}

std::string statusText(std::int32_t status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<std::uint32_t>(status));
    return text;
}

}  // namespace qvr_e2e
