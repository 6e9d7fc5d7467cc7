#include "reader_binding.h"

#include "library_loader.h"

namespace ferrow {
namespace {

template <typename Entry>
bool bindEntry(void* module, const char* name, Entry& slot) noexcept {
    slot = reinterpret_cast<Entry>(findExport(module, name));
    return slot != nullptr;
}

}  // namespace

bool bindReaderLibrary(BridgeState& state) noexcept {
    state.readerModule = loadReaderLibrary();
    if (state.readerModule == nullptr) return false;
    void* module = state.readerModule;
    // && stops at the first missing export, leaving the later slots alone.
    const bool allSeven = bindEntry(module, "oConnectPCSCReader", state.connectReader) &&
                          bindEntry(module, "oSetRetryTimeToOne", state.setRetryTimeToOne) &&
                          bindEntry(module, "oPollingTags", state.pollingTags) &&
                          bindEntry(module, "oSendTo", state.sendTo) &&
                          bindEntry(module, "oPCSCReaderName", state.readerName) &&
                          bindEntry(module, "oDeSelectTag", state.deselectTag) &&
                          bindEntry(module, "oTurnOffAntennaPower", state.turnOffAntennaPower);
    // Looked up whatever became of the seven, so that a reconnect frees the previous
    // connection with any library that has it; whether it is there decides nothing.
    bindEntry(module, "oDisconnectPCSCReader", state.disconnectReader);
    return allSeven;
}

}  // namespace ferrow
