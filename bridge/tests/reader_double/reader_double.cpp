// A stand-in for the reader library that the bridge loads in its tests. It is built
// as libQVR-ACR122.so in a folder of its own, once complete and once each without
// oPollingTags, without oPCSCReaderName or without oDisconnectPCSCReader, so that the
// loader finds it in place of the real one.
//
// The Java tests script it through two files named by environment variables:
//   READER_DOUBLE_SCRIPT   key=value lines, read again on every call, so a test may
//                          rewrite it between two native calls (see ScriptKeys below);
//   READER_DOUBLE_JOURNAL  one line appended per call, naming the export and the
//                          arguments it received, e.g.
//                          "oSendTo card=4660 type=-1 length=3 capacity=1000 command=0102A4".
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "reader_api.h"

namespace {

// The keys a script may set, with the value used when the key is absent.
struct ScriptKeys {
    [[maybe_unused]] static constexpr const char* connect = "connect";          // handle from oConnectPCSCReader (0x1234)
    [[maybe_unused]] static constexpr const char* retry = "retry";              // status of oSetRetryTimeToOne (0x9000)
    [[maybe_unused]] static constexpr const char* poll = "poll";                // status of oPollingTags (0x9000)
    [[maybe_unused]] static constexpr const char* pollType = "poll_type";       // byte stored as tag type; absent: none stored
    [[maybe_unused]] static constexpr const char* send = "send";                // result of oSendTo (0x9000)
    [[maybe_unused]] static constexpr const char* sendReply = "send_reply";     // hex bytes written to the reply, or "echo"
    [[maybe_unused]] static constexpr const char* sendLength = "send_length";   // length stored (number of reply bytes)
    [[maybe_unused]] static constexpr const char* name = "name";                // result of oPCSCReaderName (1)
    [[maybe_unused]] static constexpr const char* deselect = "deselect";        // status of oDeSelectTag (0x9000)
    [[maybe_unused]] static constexpr const char* rfOff = "rf_off";             // status of oTurnOffAntennaPower (0x9000)
};

using Script = std::map<std::string, std::string>;

Script readScript() {
    Script script;
    const char* path = std::getenv("READER_DOUBLE_SCRIPT");
    if (path == nullptr) return script;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) script[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return script;
}

std::int32_t number(const Script& script, const char* key, std::int32_t absent) {
    const auto found = script.find(key);
    if (found == script.end()) return absent;
    return static_cast<std::int32_t>(std::strtoll(found->second.c_str(), nullptr, 0));
}

std::vector<std::uint8_t> hexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string hexText(const std::uint8_t* bytes, std::int32_t length) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::int32_t i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

void journal(const std::string& line) {
    const char* path = std::getenv("READER_DOUBLE_JOURNAL");
    if (path == nullptr) return;
    std::ofstream out(path, std::ios::app);
    out << line << '\n';
}

std::string cardCall(const char* name, std::int32_t card) {
    return std::string(name) + " card=" + std::to_string(card);
}

// Nothing may leave a C function; a broken script makes the call answer 0x6F00.
template <typename Body>
std::int32_t guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return 0x6F00;
    }
}

std::int32_t housekeeping(const char* name, const char* key, std::int32_t card, std::int32_t* replyLength) {
    return guarded([&] {
        journal(cardCall(name, card));
        *replyLength = 2;  // the bridge never reads it; writing it shows the pointer is real
        return number(readScript(), key, QVR_SW_SUCCESS);
    });
}

}  // namespace

extern "C" {

QVR_API int32_t oConnectPCSCReader(void) {
    return guarded([] {
        journal("oConnectPCSCReader");
        return number(readScript(), ScriptKeys::connect, 0x1234);
    });
}

#ifndef READER_DOUBLE_WITHOUT_DISCONNECT
QVR_API int32_t oDisconnectPCSCReader(int32_t card) {
    return guarded([&] {
        journal(cardCall("oDisconnectPCSCReader", card));
        return QVR_SW_SUCCESS;
    });
}
#endif

QVR_API int32_t oSetRetryTimeToOne(int32_t card, uint8_t*, int32_t* replyLength) {
    return housekeeping("oSetRetryTimeToOne", ScriptKeys::retry, card, replyLength);
}

QVR_API int32_t oDeSelectTag(int32_t card, uint8_t*, int32_t* replyLength) {
    return housekeeping("oDeSelectTag", ScriptKeys::deselect, card, replyLength);
}

QVR_API int32_t oTurnOffAntennaPower(int32_t card, uint8_t*, int32_t* replyLength) {
    return housekeeping("oTurnOffAntennaPower", ScriptKeys::rfOff, card, replyLength);
}

#ifndef READER_DOUBLE_WITHOUT_POLLING
QVR_API int32_t oPollingTags(int32_t card, uint8_t*, int32_t* replyLength, uint8_t* tagTypeFound,
                             const char* pollPeriod) {
    return guarded([&] {
        journal(cardCall("oPollingTags", card) + " period=" + pollPeriod);
        const Script script = readScript();
        *replyLength = 0;
        if (script.count(ScriptKeys::pollType) != 0) {
            *tagTypeFound = static_cast<std::uint8_t>(number(script, ScriptKeys::pollType, 0));
        }
        return number(script, ScriptKeys::poll, QVR_SW_SUCCESS);
    });
}
#endif

QVR_API int32_t oSendTo(int32_t card, int32_t exchangeType, const uint8_t* command, int32_t length,
                        uint8_t* reply, int32_t capacity, int32_t* replyLength) {
    return guarded([&] {
        journal(cardCall("oSendTo", card) + " type=" + std::to_string(exchangeType) +
                " length=" + std::to_string(length) + " capacity=" + std::to_string(capacity) +
                " command=" + hexText(command, length));
        const Script script = readScript();
        const auto replyText = script.count(ScriptKeys::sendReply) ? script.at(ScriptKeys::sendReply) : "";
        const auto bytes = replyText == "echo" ? std::vector<std::uint8_t>(command, command + length)
                                               : hexBytes(replyText);
        if (!bytes.empty()) std::memcpy(reply, bytes.data(), bytes.size());
        *replyLength = number(script, ScriptKeys::sendLength, static_cast<std::int32_t>(bytes.size()));
        return number(script, ScriptKeys::send, QVR_SW_SUCCESS);
    });
}

#ifndef READER_DOUBLE_WITHOUT_READER_NAME
QVR_API int32_t oPCSCReaderName(char* name) {
    return guarded([&] {
        journal("oPCSCReaderName");
        const std::int32_t listed = number(readScript(), ScriptKeys::name, 1);
        // The longest name the caller's 200 bytes must take, terminator included.
        if (listed == 1) {
            std::memset(name, 'R', 199);
            name[199] = '\0';
        }
        return listed;
    });
}
#endif

}  // extern "C"
