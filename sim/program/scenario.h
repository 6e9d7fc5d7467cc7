// A scenario: the virtual cards a test or demo works with, which of them lie in the
// field at start, and how the pseudo-card shows itself to PC/SC.
#ifndef VREADER_SCENARIO_H
#define VREADER_SCENARIO_H

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/cards/card.h"
#include "model/slot_service.h"

namespace vreader {

std::optional<Presence> presenceFromName(std::string_view name);  // "always", "tag"

class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Scenario {
    std::vector<std::unique_ptr<Card>> cards;
    std::vector<Card*> initialField;  // in field order
    std::optional<Presence> presence;
    // How fast reader time passes against the hardware's: 0.01 lets every retry,
    // poll period, timeout and slow card take a hundredth of its time, in the same order.
    double timeScale = 1.0;
    // Whether the CCID driver is set up to pass escape commands to the reader
    // (ifdDriverOptions 0x0001), as a configured system has it; false: a stock system.
    bool driverEscape = true;

    Card* find(std::string_view id) const;
};

// Throw ScenarioError naming the file and what is wrong in it.
Scenario parseScenario(const std::string& jsonText);
Scenario loadScenarioFile(const std::string& path);

}  // namespace vreader

#endif
