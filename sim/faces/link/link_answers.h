// What the virtual reader answers the project's pcscd driver: power, commands under
// T=0 and T=1, the CCID escape, and the card PC/SC is to see.
#ifndef VREADER_LINK_ANSWERS_H
#define VREADER_LINK_ANSWERS_H

#include "link_protocol.h"
#include "program/virtual_reader.h"

namespace vreader {

// The reply to one request of the driver. Commands go to the reader only while PC/SC
// sees a card (a transmit to an absent card is refused, as the CCID driver fails
// it); the escape reaches the reader card or no card.
link::Message answerDriverRequest(const link::Message& request, VirtualReader& device);

// Whether the request may have changed what the reader has activated.
bool isReaderCommand(const link::Message& request);

}  // namespace vreader

#endif
