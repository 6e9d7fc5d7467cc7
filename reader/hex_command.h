// The library keeps every reader and card command as hex text, as the PN532 manual
// writes them, and turns the text into bytes with Hexkit just before sending.
#ifndef QVR_ACR122_HEX_COMMAND_H
#define QVR_ACR122_HEX_COMMAND_H

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "work_record.h"

namespace qvr {

// Writes the pieces one after another into the record's commandText and converts
// the text into commandBytes. Returns the command length in bytes, or -1 when the
// text does not convert (a piece that is not hex digits); nothing may be sent then.
std::int32_t composeCommand(WorkRecord& record, std::initializer_list<std::string_view> pieces) noexcept;

// Caller text of a fixed number of characters, which need no terminator. Empty when
// the pointer is null or a terminator comes first, so that the command is refused.
std::string_view callerText(const char* text, std::size_t characters) noexcept;

}  // namespace qvr

#endif
