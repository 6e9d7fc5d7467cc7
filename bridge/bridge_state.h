// The bridge's one process-wide record: where the reader library's entry points
// were found, the card handle every card method passes on, and the reply areas the
// library writes into. It is all zero when the library is loaded and is never
// reset as a whole; nothing in it is ever freed.
#ifndef FERROW_BRIDGE_STATE_H
#define FERROW_BRIDGE_STATE_H

#include <cstdint>

#include "reader_api.h"

namespace ferrow {

// The entry points take their exact types from the reader library's own header;
// the bridge never links the library, it only looks these names up.
using ConnectEntry = decltype(&::oConnectPCSCReader);
using SetRetryEntry = decltype(&::oSetRetryTimeToOne);
using PollingEntry = decltype(&::oPollingTags);
using SendToEntry = decltype(&::oSendTo);
using ReaderNameEntry = decltype(&::oPCSCReaderName);
using DeselectEntry = decltype(&::oDeSelectTag);
using AntennaOffEntry = decltype(&::oTurnOffAntennaPower);
using DisconnectEntry = decltype(&::oDisconnectPCSCReader);

inline constexpr std::int32_t kReplyBufferSize = 1024;

struct BridgeState {
    void* readerModule;
    ConnectEntry connectReader;
    SetRetryEntry setRetryTimeToOne;
    PollingEntry pollingTags;
    SendToEntry sendTo;
    ReaderNameEntry readerName;
    DeselectEntry deselectTag;
    AntennaOffEntry turnOffAntennaPower;
    // Bound beside the seven, never counted among them: a reader library without it
    // binds and works as before, only a second connect then leaves the first open.
    DisconnectEntry disconnectReader;

    std::int32_t cardHandle;                      // 0: no connection
    std::uint8_t replyBuffer[kReplyBufferSize];   // lent to the housekeeping exports, never read
    std::int32_t replyLength;                     // lent with replyBuffer, never read
    std::uint8_t tagType;                         // kept across polls until the library stores another
    std::int32_t lastResult;                      // result of the latest call other than connect
    std::int32_t exchangeLength;                  // response length stored by oSendTo
};

// The record itself. Callers hold the bridge lock (native_call.h) while they use it.
BridgeState& bridgeState() noexcept;

// True when a card method may call the library: its entry point is bound and a
// connection has given a card handle.
template <typename Entry>
bool readyToCall(const BridgeState& state, Entry entry) noexcept {
    return entry != nullptr && state.cardHandle != 0;
}

}  // namespace ferrow

#endif
