#include "double_exports.h"
#include "pcsc_double.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>

namespace pcsc_double {
namespace {

struct ScriptedReply {
    Bytes bytes;
    LONG result;
};

struct ModeOutcome {
    LONG result;
    SCARDHANDLE handle;
    DWORD activeProtocol;
};

struct Platform {
    std::mutex mutex;
    std::vector<std::string> readers;
    SCARDHANDLE nextHandle = 0x1A2B;
    DWORD activeProtocol = SCARD_PROTOCOL_T0;
    DWORD offered = 0;
    std::deque<ScriptedReply> replies;
    std::vector<Bytes> cycle;
    std::size_t cycleNext = 0;
    bool recording = true;
    std::map<Call, LONG> failOnce;
    std::map<Call, LONG> failAlways;
    std::vector<Transmit> transmits;
    std::vector<Control> controls;
    std::map<DWORD, ModeOutcome> connectByMode;
    std::vector<Connect> connects;
    std::vector<SCARDHANDLE> disconnected;
    std::vector<DWORD> dispositions;
    std::set<SCARDCONTEXT> open;
    SCARDCONTEXT nextContext = 0x5100;
    int established = 0;
    std::set<void*> lists;
};

Platform& platform() {
    static Platform instance;
    return instance;
}

// The scripted failure for this call, if any; SCARD_S_SUCCESS otherwise.
LONG scriptedFailure(Platform& p, Call call) {
    if (auto always = p.failAlways.find(call); always != p.failAlways.end()) return always->second;
    if (auto once = p.failOnce.find(call); once != p.failOnce.end()) {
        const LONG code = once->second;
        p.failOnce.erase(once);
        return code;
    }
    return SCARD_S_SUCCESS;
}

int nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    std::abort();  // a test wrote a bad hex literal
}

// Answers a transmit or a control call with the next scripted reply; nothing is
// received when the reply does not fit the capacity.
LONG nextReply(Platform& p, std::uint8_t* receiveBuffer, DWORD capacity, DWORD& received) {
    const Bytes* bytes = nullptr;
    ScriptedReply scripted;
    if (!p.replies.empty()) {
        scripted = p.replies.front();
        p.replies.pop_front();
        if (scripted.result != SCARD_S_SUCCESS) return scripted.result;
        bytes = &scripted.bytes;
    } else if (!p.cycle.empty()) {
        bytes = &p.cycle[p.cycleNext];
        p.cycleNext = (p.cycleNext + 1) % p.cycle.size();
    } else {
        return SCARD_E_NOT_TRANSACTED;
    }
    if (bytes->size() > capacity) return SCARD_E_INSUFFICIENT_BUFFER;
    if (!bytes->empty()) std::memcpy(receiveBuffer, bytes->data(), bytes->size());
    received = static_cast<DWORD>(bytes->size());
    return SCARD_S_SUCCESS;
}

}  // namespace

Bytes hex(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    if (digits.size() % 2 != 0) std::abort();
    Bytes bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(nibble(digits[i]) * 16 + nibble(digits[i + 1])));
    return bytes;
}

std::string hexOf(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

void reset() {
    Platform& p = platform();
    const std::lock_guard lock(p.mutex);
    for (void* list : p.lists) std::free(list);
    p.readers = {"ACS ACR122U PICC Interface 00 00"};
    p.nextHandle = 0x1A2B;
    p.activeProtocol = SCARD_PROTOCOL_T0;
    p.offered = 0;
    p.replies.clear();
    p.cycle.clear();
    p.cycleNext = 0;
    p.recording = true;
    p.failOnce.clear();
    p.failAlways.clear();
    p.transmits.clear();
    p.controls.clear();
    p.connectByMode.clear();
    p.connects.clear();
    p.disconnected.clear();
    p.dispositions.clear();
    p.open.clear();
    p.established = 0;
    p.lists.clear();
}

void replyWith(const Bytes& reply) {
    const std::lock_guard lock(platform().mutex);
    platform().replies.push_back({reply, SCARD_S_SUCCESS});
}

void replyInCycle(const std::vector<Bytes>& cycle) {
    const std::lock_guard lock(platform().mutex);
    platform().cycle = cycle;
    platform().cycleNext = 0;
}

void recordTransmits(bool on) {
    const std::lock_guard lock(platform().mutex);
    platform().recording = on;
}

void failTransmit(LONG code) {
    const std::lock_guard lock(platform().mutex);
    platform().replies.push_back({{}, code});
}

void failNext(Call call, LONG code) {
    const std::lock_guard lock(platform().mutex);
    platform().failOnce[call] = code;
}

void failAll(Call call, LONG code) {
    const std::lock_guard lock(platform().mutex);
    platform().failAlways[call] = code;
}

void setReaders(const std::vector<std::string>& names) {
    const std::lock_guard lock(platform().mutex);
    platform().readers = names;
}

void setConnectResult(SCARDHANDLE handle, DWORD activeProtocol) {
    const std::lock_guard lock(platform().mutex);
    platform().nextHandle = handle;
    platform().activeProtocol = activeProtocol;
}

void offerProtocols(DWORD protocols) {
    const std::lock_guard lock(platform().mutex);
    platform().offered = protocols;
}

void connectInMode(DWORD shareMode, LONG result, SCARDHANDLE handle, DWORD activeProtocol) {
    const std::lock_guard lock(platform().mutex);
    platform().connectByMode[shareMode] = {result, handle, activeProtocol};
}

const std::vector<Transmit>& transmits() { return platform().transmits; }
const std::vector<Control>& controls() { return platform().controls; }
const std::vector<Connect>& connects() { return platform().connects; }
std::vector<SCARDHANDLE> disconnected() { return platform().disconnected; }
std::vector<DWORD> dispositions() { return platform().dispositions; }
int establishedContexts() { return platform().established; }
int openContexts() { return static_cast<int>(platform().open.size()); }
int outstandingReaderLists() { return static_cast<int>(platform().lists.size()); }

}  // namespace pcsc_double

using namespace pcsc_double;

DOUBLE_API const SCARD_IO_REQUEST g_rgSCardT0Pci = {SCARD_PROTOCOL_T0, sizeof(SCARD_IO_REQUEST)};
DOUBLE_API const SCARD_IO_REQUEST g_rgSCardT1Pci = {SCARD_PROTOCOL_T1, sizeof(SCARD_IO_REQUEST)};
DOUBLE_API const SCARD_IO_REQUEST g_rgSCardRawPci = {SCARD_PROTOCOL_RAW, sizeof(SCARD_IO_REQUEST)};

DOUBLE_API LONG DOUBLE_CALL SCardEstablishContext(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT context) {
    Platform& p = platform();
    const std::lock_guard lock(p.mutex);
    if (const LONG failure = scriptedFailure(p, Call::Establish)) return failure;
    *context = p.nextContext++;
    p.open.insert(*context);
    ++p.established;
    return SCARD_S_SUCCESS;
}

DOUBLE_API LONG DOUBLE_CALL SCardReleaseContext(SCARDCONTEXT context) {
    Platform& p = platform();
    const std::lock_guard lock(p.mutex);
    return p.open.erase(context) == 1 ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
}

DOUBLE_API LONG DOUBLE_CALL SCardListReaders(SCARDCONTEXT context, LPCSTR, LPSTR readers, LPDWORD length) {
    Platform& p = platform();
    const std::lock_guard lock(p.mutex);
    if (p.open.count(context) == 0) return SCARD_E_INVALID_HANDLE;
    if (const LONG failure = scriptedFailure(p, Call::ListReaders)) return failure;
    if (p.readers.empty()) return SCARD_E_NO_READERS_AVAILABLE;
    std::string multiString;
    for (const auto& name : p.readers) multiString += name + '\0';
    multiString += '\0';
    if (*length != SCARD_AUTOALLOCATE) return SCARD_E_INVALID_PARAMETER;  // the library always asks so
    void* list = std::malloc(multiString.size());
    std::memcpy(list, multiString.data(), multiString.size());
    p.lists.insert(list);
    *reinterpret_cast<char**>(readers) = static_cast<char*>(list);
    *length = static_cast<DWORD>(multiString.size());
    return SCARD_S_SUCCESS;
}

DOUBLE_API LONG DOUBLE_CALL SCardFreeMemory(SCARDCONTEXT, LPCVOID memory) {
    Platform& p = platform();
    const std::lock_guard lock(p.mutex);
    void* list = const_cast<void*>(memory);
    if (p.lists.erase(list) != 1) return SCARD_E_INVALID_PARAMETER;
    std::free(list);
    return SCARD_S_SUCCESS;
}

DOUBLE_API LONG DOUBLE_CALL SCardConnect(SCARDCONTEXT context, LPCSTR reader, DWORD shareMode,
                             DWORD preferredProtocols, LPSCARDHANDLE card, LPDWORD activeProtocol) {
    Platform& p = platform();
    const std::lock_guard lock(p.mutex);
    if (p.open.count(context) == 0) return SCARD_E_INVALID_HANDLE;
    p.connects.push_back({reader, shareMode, preferredProtocols});
    if (const LONG failure = scriptedFailure(p, Call::Connect)) return failure;
    if (auto byMode = p.connectByMode.find(shareMode); byMode != p.connectByMode.end()) {
        if (byMode->second.result != SCARD_S_SUCCESS) return byMode->second.result;
        *card = byMode->second.handle;
        *activeProtocol = byMode->second.activeProtocol;
        return SCARD_S_SUCCESS;
    }
    DWORD negotiated = p.activeProtocol;
    if (p.offered != 0 && shareMode != SCARD_SHARE_DIRECT) {
        // pcscd tries T=1 first when the application allows both.
        const DWORD usable = preferredProtocols & p.offered;
        if (usable == 0) return SCARD_E_PROTO_MISMATCH;
        negotiated = (usable & SCARD_PROTOCOL_T1) != 0 ? SCARD_PROTOCOL_T1 : SCARD_PROTOCOL_T0;
    }
    *card = p.nextHandle;
    *activeProtocol = negotiated;
    return SCARD_S_SUCCESS;
}

DOUBLE_API LONG DOUBLE_CALL SCardDisconnect(SCARDHANDLE card, DWORD disposition) {
    Platform& p = platform();
    const std::lock_guard lock(p.mutex);
    p.disconnected.push_back(card);
    p.dispositions.push_back(disposition);
    return scriptedFailure(p, Call::Disconnect);
}

DOUBLE_API LONG DOUBLE_CALL SCardTransmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, LPCBYTE sendBuffer,
                              DWORD sendLength, SCARD_IO_REQUEST* receivePci, LPBYTE receiveBuffer,
                              LPDWORD receiveLength) {
    Platform& p = platform();
    const std::lock_guard lock(p.mutex);
    if (p.recording) {
        Bytes sent;
        if (sendBuffer != nullptr) sent.assign(sendBuffer, sendBuffer + sendLength);
        p.transmits.push_back({card, sent, *receiveLength, sendPci == &g_rgSCardT0Pci, sendPci == &g_rgSCardT1Pci,
                               receivePci == nullptr});
    }
    if (const LONG failure = scriptedFailure(p, Call::Transmit)) return failure;
    return nextReply(p, receiveBuffer, *receiveLength, *receiveLength);
}

DOUBLE_API LONG DOUBLE_CALL SCardControl(SCARDHANDLE card, DWORD code, LPCVOID sendBuffer, DWORD sendLength,
                             LPVOID receiveBuffer, DWORD receiveCapacity, LPDWORD received) {
    Platform& p = platform();
    const std::lock_guard lock(p.mutex);
    if (p.recording) {
        const auto* bytes = static_cast<const std::uint8_t*>(sendBuffer);
        Bytes sent;
        if (bytes != nullptr) sent.assign(bytes, bytes + sendLength);
        p.controls.push_back({card, code, sent, receiveCapacity});
    }
    if (const LONG failure = scriptedFailure(p, Call::Control)) return failure;
    return nextReply(p, static_cast<std::uint8_t*>(receiveBuffer), receiveCapacity, *received);
}
