#include "program/virtual_reader.h"

namespace vreader {

VirtualReader::VirtualReader(Scenario scenario, Presence presence)
    : scenario_(std::move(scenario)), presence_(presence) {
    chip_.useClock(clock_);
    chip_.setTimeScale(scenario_.timeScale);
    for (Card* card : scenario_.initialField) field_.insert(*card);
    afterChange();
}

}  // namespace vreader
