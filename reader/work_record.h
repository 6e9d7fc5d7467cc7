// The scratch record every export builds for the length of one call.
#ifndef QVR_ACR122_WORK_RECORD_H
#define QVR_ACR122_WORK_RECORD_H

#include <cstdint>

namespace qvr {

constexpr std::size_t kReaderNameSize = 17900;
constexpr std::size_t kCommandAreaSize = 1024;

// The part of the record that the transceive engine receives. The engine reads only
// the card handle; the name and context matter to the connection exports.
struct ReaderPart {
    char readerName[kReaderNameSize];
    std::int32_t context;
    std::int32_t card;  // 0: no card handle, nothing may be sent
};

struct WorkRecord {
    ReaderPart reader;
    char commandText[kCommandAreaSize];           // the command as hex text, not terminated
    std::uint8_t commandBytes[kCommandAreaSize];  // the same command converted to bytes
    std::int32_t lastStatus;
};

}  // namespace qvr

#endif
