// Text commands that change the virtual reader while it runs, one per line, from
// stdin or the control socket. Every command gets one line back: "ok ..." or
// "error ...".
//
//   insert <card-id>           put a card of the scenario into the field (at the end)
//   remove <card-id>           take it out
//   fault timeout              every card exchange ends in the chip's timeout status
//   fault vanish-after-poll    the next card found leaves the field right after the poll
//   fault slow <ms>            every answer is held back <ms> milliseconds
//   fault clear                no more faults
//   drop, unplug               the reader's USB device is unplugged
//   attach, plug               it is plugged in again
//   status                     one line: attached, presence, rf, field, cards, and
//                              whether PC/SC is to see a card
//   stats [reset]              commands handled, time spent per command, and how
//                              often the driver asked for the card
//   quit                       end the program
#ifndef VREADER_CONTROL_COMMANDS_H
#define VREADER_CONTROL_COMMANDS_H

#include <string>
#include <string_view>

#include "program/virtual_reader.h"

namespace vreader {

std::string runControlCommand(std::string_view line, VirtualReader& device);

}  // namespace vreader

#endif
