// Which connection the reader library made, and PC/SC's reason when it made none.
// The library hides the platform's results; the probe asks PC/SC itself, on the
// library's handle or with the same connects, to tell a person what happened.
#ifndef QVR_PROBE_CONNECTION_CHECK_H
#define QVR_PROBE_CONNECTION_CHECK_H

#include <cstdint>
#include <string>
#include <vector>

namespace qvr::tools {

enum class ConnectionKind {
    SharedCard,  // shared, with a card protocol: a tag was in the field
    Direct,      // to the reader itself, no card protocol: commands go through the escape
    Unknown,     // SCardStatus failed
};

struct ConnectionState {
    ConnectionKind kind = ConnectionKind::Unknown;
    unsigned long protocol = 0;     // SCARD_PROTOCOL_T0 or T1; none on a direct handle
    std::vector<std::uint8_t> atr;  // the card's, when a card is present
    long error = 0;                 // SCardStatus's result when it failed
};

// SCardStatus on the library's handle: a direct handle carries no active protocol.
ConnectionState inspectConnection(std::int32_t card);

// The reader's answer to the escape command GET FIRMWARE VERSION (FF 00 48 00 00) on
// this handle (under the escape number 3500, or 1 where the driver does not know
// 3500): SCARD_S_SUCCESS, or the driver's refusal.
long tryEscape(std::int32_t card);

struct ConnectFailure {
    std::string step;  // the PC/SC call that failed, in words; empty when all succeeded
    long error = 0;
};

// The library returned no handle for this reader: makes the same connects (shared
// with T=0 or T=1, then direct when no tag is present), releases all, and says
// which failed.
ConnectFailure diagnoseConnect(const std::string& reader);

}  // namespace qvr::tools

#endif
