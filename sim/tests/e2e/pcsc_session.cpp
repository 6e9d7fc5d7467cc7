#include "pcsc_session.h"

#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "program/control_client.h"

namespace vreader::e2e {

namespace {

std::string firstReader(SCARDCONTEXT context) {
    DWORD size = 0;
    if (SCardListReaders(context, nullptr, nullptr, &size) != SCARD_S_SUCCESS) return {};
    std::vector<char> names(size);
    if (SCardListReaders(context, nullptr, names.data(), &size) != SCARD_S_SUCCESS) return {};
    return std::string(names.data());
}

}  // namespace

PcscSession::PcscSession() {
    EXPECT_EQ(SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_), SCARD_S_SUCCESS);
    reader_ = firstReader(context_);
}

PcscSession::~PcscSession() {
    if (card_ != 0) SCardDisconnect(card_, SCARD_LEAVE_CARD);
    if (context_ != 0) SCardReleaseContext(context_);
}

LONG PcscSession::connect() {
    if (card_ != 0) SCardDisconnect(card_, SCARD_LEAVE_CARD);
    card_ = 0;
    DWORD protocol = 0;
    const LONG result = SCardConnect(context_, reader_.c_str(), SCARD_SHARE_SHARED,
                                     SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card_, &protocol);
    if (result == SCARD_S_SUCCESS) {
        EXPECT_EQ(protocol, static_cast<DWORD>(SCARD_PROTOCOL_T1));
    }
    return result;
}

bool PcscSession::waitForReader(bool listed, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    SCARD_READERSTATE notification{};
    notification.szReader = "\\\\?PnP?\\Notification";
    while (true) {
        const std::string name = firstReader(context_);
        if (name.empty() != listed) {
            if (listed) reader_ = name;
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        // The high word counts the readers pcscd knows: it returns when that changes.
        notification.dwCurrentState = (listed ? 0u : 1u) << 16;
        SCardGetStatusChange(context_, static_cast<DWORD>(left.count()), &notification, 1);
    }
}

bool PcscSession::waitForCard(bool present, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    SCARD_READERSTATE state{};
    state.szReader = reader_.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    while (std::chrono::steady_clock::now() < deadline) {
        const LONG result = SCardGetStatusChange(context_, 100, &state, 1);
        if (result == SCARD_S_SUCCESS) {
            const bool shown = (state.dwEventState & SCARD_STATE_PRESENT) != 0;
            if (shown == present) return true;
            state.dwCurrentState = state.dwEventState;
        } else if (result != SCARD_E_TIMEOUT) {
            return false;
        }
    }
    return false;
}

DWORD PcscSession::cardEvents() {
    SCARD_READERSTATE state{};
    state.szReader = reader_.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    EXPECT_EQ(SCardGetStatusChange(context_, 0, &state, 1), SCARD_S_SUCCESS);
    return state.dwEventState >> 16;
}

Reply PcscSession::transmit(const Bytes& apdu, DWORD capacity) {
    Reply reply;
    reply.bytes.resize(capacity);
    DWORD received = capacity;
    reply.result = SCardTransmit(card_, SCARD_PCI_T1, apdu.data(), static_cast<DWORD>(apdu.size()),
                                 nullptr, reply.bytes.data(), &received);
    reply.bytes.resize(reply.result == SCARD_S_SUCCESS ? received : 0);
    return reply;
}

Bytes PcscSession::chip(const Bytes& frame) {
    Bytes direct{0xFF, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(frame.size())};
    direct.insert(direct.end(), frame.begin(), frame.end());
    const Reply answer = transmit(direct);
    EXPECT_EQ(answer.result, SCARD_S_SUCCESS) << formatHex(frame);
    const std::size_t size = answer.bytes.size();
    if (size < 3 || answer.bytes[size - 2] != 0x90 || answer.bytes[size - 1] != 0x00) {
        ADD_FAILURE() << formatHex(frame) << " was answered " << formatHex(answer.bytes);
        return {};
    }
    return Bytes(answer.bytes.begin(), answer.bytes.end() - 2);
}

std::string control(const std::string& command) {
    const char* path = std::getenv("VIRTUAL_READER_CONTROL");
    if (!path) {
        ADD_FAILURE() << "VIRTUAL_READER_CONTROL is not set (run under scripts/virtual-reader run)";
        return {};
    }
    const auto answer = sendControlCommand(path, command, std::chrono::seconds(5));
    EXPECT_TRUE(answer) << command;
    return answer.value_or("");
}

}  // namespace vreader::e2e
