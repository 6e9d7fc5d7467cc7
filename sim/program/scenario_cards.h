// Building virtual cards from their scenario description (one JSON object each).
#ifndef VREADER_SCENARIO_CARDS_H
#define VREADER_SCENARIO_CARDS_H

#include <memory>

#include <nlohmann/json.hpp>

#include "model/cards/card.h"

namespace vreader {

// Throws ScenarioError for an unknown type or a missing or malformed field.
std::unique_ptr<Card> cardFromJson(const nlohmann::json& description);

}  // namespace vreader

#endif
