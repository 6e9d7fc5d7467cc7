#include "program/scenario.h"

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "program/scenario_cards.h"

namespace vreader {

namespace {

using nlohmann::json;

std::vector<std::unique_ptr<Card>> cardsFrom(const json& document) {
    std::vector<std::unique_ptr<Card>> cards;
    if (!document.contains("cards")) return cards;
    if (!document.at("cards").is_array()) throw ScenarioError("\"cards\" must be a list");
    for (const json& description : document.at("cards")) {
        auto card = cardFromJson(description);
        for (const auto& other : cards) {
            if (other->id() == card->id()) {
                throw ScenarioError("two cards have the id \"" + card->id() + "\"");
            }
        }
        cards.push_back(std::move(card));
    }
    return cards;
}

// Without a "field" list every card starts in the field, in the order listed.
std::vector<Card*> initialFieldOf(const json& document, const Scenario& scenario) {
    std::vector<Card*> field;
    if (!document.contains("field")) {
        for (const auto& card : scenario.cards) field.push_back(card.get());
        return field;
    }
    if (!document.at("field").is_array()) throw ScenarioError("\"field\" must be a list of card ids");
    for (const json& id : document.at("field")) {
        Card* card = id.is_string() ? scenario.find(id.get<std::string>()) : nullptr;
        if (!card) throw ScenarioError("\"field\" names an unknown card: " + id.dump());
        field.push_back(card);
    }
    return field;
}

// "time_scale": a number above 0 and at most 1.
double timeScaleOf(const json& document) {
    if (!document.contains("time_scale")) return 1.0;
    const json& value = document.at("time_scale");
    if (!value.is_number() || value.get<double>() <= 0.0 || value.get<double>() > 1.0) {
        throw ScenarioError("\"time_scale\" must be a number above 0 and at most 1");
    }
    return value.get<double>();
}

}  // namespace

std::optional<Presence> presenceFromName(std::string_view name) {
    if (name == "always") return Presence::Always;
    if (name == "tag") return Presence::WhileTagInField;
    return std::nullopt;
}

Card* Scenario::find(std::string_view id) const {
    for (const auto& card : cards) {
        if (card->id() == id) return card.get();
    }
    return nullptr;
}

Scenario parseScenario(const std::string& jsonText) try {
    const json document = json::parse(jsonText, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        throw ScenarioError("not a JSON object");
    }
    Scenario scenario;
    scenario.cards = cardsFrom(document);
    scenario.initialField = initialFieldOf(document, scenario);
    scenario.timeScale = timeScaleOf(document);
    if (document.contains("driver_escape")) {
        const json& allowed = document.at("driver_escape");
        if (!allowed.is_boolean()) throw ScenarioError("\"driver_escape\" must be true or false");
        scenario.driverEscape = allowed.get<bool>();
    }
    if (document.contains("presence")) {
        const json& name = document.at("presence");
        scenario.presence = name.is_string() ? presenceFromName(name.get<std::string>()) : std::nullopt;
        if (!scenario.presence) throw ScenarioError("\"presence\" must be \"always\" or \"tag\"");
    }
    return scenario;
} catch (const json::exception& e) {
    // A field of the wrong JSON type deep inside a card description.
    throw ScenarioError(std::string("malformed: ") + e.what());
}

Scenario loadScenarioFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) throw ScenarioError(path + ": cannot be read");
    std::stringstream text;
    text << file.rdbuf();
    try {
        return parseScenario(text.str());
    } catch (const ScenarioError& e) {
        throw ScenarioError(path + ": " + e.what());
    }
}

}  // namespace vreader
