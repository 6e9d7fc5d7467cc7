// A PC/SC connection to the first reader, as the reader library makes it on Linux:
// shared mode, T=0 or T=1 offered; the CCID driver gives T=1, under which the
// reader answers a chip command whole.
#ifndef VREADER_E2E_PCSC_SESSION_H
#define VREADER_E2E_PCSC_SESSION_H

#include <chrono>
#include <string>

#include <winscard.h>

#include "model/hex_bytes.h"

namespace vreader::e2e {

struct Reply {
    LONG result = SCARD_S_SUCCESS;
    Bytes bytes;
};

class PcscSession {
public:
    PcscSession();  // establishes the context only
    ~PcscSession();
    PcscSession(const PcscSession&) = delete;
    PcscSession& operator=(const PcscSession&) = delete;

    const std::string& reader() const { return reader_; }

    // Connects to the first reader (shared, T=0 | T=1); the PC/SC result.
    LONG connect();
    // Waits until pcscd lists the reader (after a USB plug) or lists none (after an
    // unplug), through the reader-list notification of SCardGetStatusChange; false
    // on timeout.
    bool waitForReader(bool listed, std::chrono::milliseconds timeout);
    // Waits until PC/SC shows a card in the reader, or no card; false on timeout.
    bool waitForCard(bool present, std::chrono::milliseconds timeout);

    // pcscd's count of card events on the reader (the high word of its state).
    DWORD cardEvents();

    // One SCardTransmit with the given receive capacity.
    Reply transmit(const Bytes& apdu, DWORD capacity = 258);

    // A PN532 frame in a direct transmit. Returns the chip's answer without the
    // reader's 90 00, and fails the test on any deviation.
    Bytes chip(const Bytes& frame);

private:
    SCARDCONTEXT context_ = 0;
    SCARDHANDLE card_ = 0;
    std::string reader_;
};

// Sends a control command to the virtual reader named by VIRTUAL_READER_CONTROL.
std::string control(const std::string& command);

}  // namespace vreader::e2e

#endif
