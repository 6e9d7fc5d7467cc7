// How a card handle reaches the reader. A card connection carries pseudo-APDUs with
// SCardTransmit under the protocol pcscd negotiated; a direct connection (no card in
// the field) carries them with the CCID escape. The engine shapes its exchange after
// it: under T=0 the reader announces an answer with 61 Le, under T=1 and through the
// escape it answers in one piece (ACR122U API, section 6).
#ifndef QVR_ACR122_READER_LINK_H
#define QVR_ACR122_READER_LINK_H

#include <cstdint>

namespace qvr {

enum class Link : std::uint8_t {
    kCardT0,  // shared card connection, T=0: 61 Le, then GET RESPONSE
    kCardT1,  // shared card connection, T=1: whole answers (or 61 Le all the same)
    kDirect,  // direct connection to the reader: the CCID escape, whole answers
};

}  // namespace qvr

#endif
