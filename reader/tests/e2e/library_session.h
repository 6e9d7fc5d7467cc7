// Shared by the reader library's end-to-end tests: each test process runs against
// its own pcscd with the virtual ACR122U (started by scripts/virtual-reader run),
// and talks to it only through the shipped libQVR-ACR122.so.
#ifndef QVR_ACR122_E2E_LIBRARY_SESSION_H
#define QVR_ACR122_E2E_LIBRARY_SESSION_H

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "reader_api.h"

namespace qvr_e2e {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& text);
std::string hexOf(const std::uint8_t* bytes, std::size_t count);
inline std::string hexOf(const Bytes& bytes) { return hexOf(bytes.data(), bytes.size()); }

// A reply buffer of the documented 251 bytes (1000 for oSendTo), followed by a
// guard zone that no export may touch, whatever the reader answers.
struct Reply {
    static constexpr std::size_t kRoom = QVR_CAPACITY_MAX;
    static constexpr std::size_t kGuard = 64;
    static constexpr std::uint8_t kUntouched = 0xEE;

    std::array<std::uint8_t, kRoom + kGuard> bytes;
    std::int32_t length = -1;

    Reply() { bytes.fill(kUntouched); }
    std::uint8_t* data() { return bytes.data(); }
    // The delivered bytes as hex; empty when the length is out of range.
    std::string text() const;
    bool guardIntact() const;
};

// Sends one command to the virtual reader's control socket; the answer line.
std::string control(const std::string& command);

// Waits until PC/SC shows a card in the first reader (or none); false on timeout.
bool waitForCard(bool present, std::chrono::milliseconds timeout);

// Waits until pcscd lists a reader (listed) or none, through the reader-list
// notification of SCardGetStatusChange; false on timeout.
bool waitForReader(bool listed, std::chrono::milliseconds timeout);

// The virtual reader's run folder (logs, process ids), from VIRTUAL_READER_DIR.
std::string runDir();

// Current figures of this process, from /proc/self.
long residentKilobytes();
int openDescriptors();

// Every test starts with a handle from oConnectPCSCReader and disconnects it at the end.
class ConnectedLibrary : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::int32_t card = 0;
};

// Status words written as the library's documentation gives them.
std::string statusText(std::int32_t status);

}  // namespace qvr_e2e

#endif
