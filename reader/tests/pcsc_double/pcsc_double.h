// A scriptable stand-in for pcsc-lite. It implements the SCard functions the reader
// library calls, answers each transmit with the next scripted reply, and records
// every byte sent and every receive capacity given, so tests can assert the exact
// traffic on the wire.
//
// Linked before the reader library, its SCard symbols take the place of
// pcsc-lite's, so the product library is tested as it ships.
#ifndef PCSC_DOUBLE_H
#define PCSC_DOUBLE_H

#include "pcsc_platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pcsc_double {

using Bytes = std::vector<std::uint8_t>;

// "61 05" -> {0x61, 0x05}; spaces are ignored.
Bytes hex(const std::string& text);
std::string hexOf(const Bytes& bytes);

struct Transmit {
    SCARDHANDLE card;
    Bytes sent;
    DWORD capacity;       // receive length given by the caller
    bool t0Pci;           // SCARD_PCI_T0 was passed
    bool t1Pci;           // SCARD_PCI_T1 was passed
    bool noReceivePci;    // no receive protocol information
};

struct Control {
    SCARDHANDLE card;
    DWORD code;           // control code
    Bytes sent;
    DWORD capacity;       // receive buffer size given by the caller
};

struct Connect {
    std::string reader;
    DWORD shareMode;
    DWORD preferredProtocols;
};

enum class Call { Establish, ListReaders, Connect, Disconnect, Transmit, Control };

// Back to a fresh platform: one reader "ACS ACR122U PICC Interface 00 00", connects
// succeed with T=0, no replies scripted, nothing recorded.
void reset();

// The next transmit or control call delivers these bytes (or fails with
// SCARD_E_INSUFFICIENT_BUFFER when they exceed the receive capacity, as pcsc-lite
// does). Both kinds of exchange answer from this one script, in order.
void replyWith(const Bytes& reply);
// The next transmit or control call fails with this code.
void failTransmit(LONG code);
// Transmits beyond the script fail with SCARD_E_NOT_TRANSACTED, unless a cycle is set:
// then they answer with the cycle's replies in turn, for ever (benchmarks use this).
void replyInCycle(const std::vector<Bytes>& cycle);
// Whether transmits are recorded (on after reset; benchmarks switch it off).
void recordTransmits(bool on);

// The next call of the kind fails with this code (once).
void failNext(Call call, LONG code);
void setReaders(const std::vector<std::string>& names);  // empty: no reader
void setConnectResult(SCARDHANDLE handle, DWORD activeProtocol);
// Connects in this share mode answer with this result (and on success this handle
// and active protocol) from now on, as the CCID driver answers a shared connect
// with SCARD_E_NO_SMARTCARD and a direct one with success while the field is empty.
// Scripted failures of failNext and failAll come first.
void connectInMode(DWORD shareMode, LONG result, SCARDHANDLE handle = 0, DWORD activeProtocol = 0);
// Shared connects negotiate from now on as pcscd does with a card and driver that
// offer these protocols: T=1 when it is asked for and offered, else T=0 when asked
// and offered, else SCARD_E_PROTO_MISMATCH. 0 (after reset): the active protocol of
// setConnectResult, whatever was asked.
void offerProtocols(DWORD protocols);
// Every call answers from now on with this code (a service that has gone away).
void failAll(Call call, LONG code);

const std::vector<Transmit>& transmits();
const std::vector<Control>& controls();
const std::vector<Connect>& connects();
std::vector<SCARDHANDLE> disconnected();  // handles passed to SCardDisconnect
std::vector<DWORD> dispositions();        // dispositions passed to SCardDisconnect
int establishedContexts();                // contexts established so far
int openContexts();                       // established and not yet released
int outstandingReaderLists();             // lists handed out and not yet freed

}  // namespace pcsc_double

#endif
