#include "virtual_reader.h"

namespace vreader {

VirtualReader::VirtualReader(Scenario scenario, Presence presence)
    : scenario_(std::move(scenario)), presence_(presence) {
    for (Card* card : scenario_.initial_field) field_.insert(*card);
}

bool VirtualReader::wants_connection() const {
    if (unplugged) return false;
    if (presence_ == Presence::Always) return true;
    return !field_.empty() || reader_.has_pending();
}

}  // namespace vreader
