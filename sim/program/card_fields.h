// Reading one card's fields from its scenario description, naming the card in
// every complaint.
#ifndef VREADER_CARD_FIELDS_H
#define VREADER_CARD_FIELDS_H

#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "model/cards/response_table.h"
#include "model/hex_bytes.h"
#include "program/scenario.h"

namespace vreader {

// Reads one card's fields, naming the card in every complaint.
class CardFields {
public:
    explicit CardFields(const nlohmann::json& description) : description_(description) {
        if (!description.is_object()) throw ScenarioError("every card must be a JSON object");
        id_ = description.value("id", std::string{});
        if (id_.empty()) throw ScenarioError("a card has no \"id\"");
    }

    const std::string& id() const { return id_; }

    [[noreturn]] void fail(const std::string& what) const {
        throw ScenarioError("card \"" + id_ + "\": " + what);
    }

    Bytes hex(const char* name, std::size_t minSize, std::size_t maxSize,
              std::optional<Bytes> fallback = std::nullopt) const {
        if (!description_.contains(name)) {
            if (fallback) return *fallback;
            fail(std::string("missing \"") + name + "\"");
        }
        const nlohmann::json& value = description_.at(name);
        const auto bytes = value.is_string() ? parseHex(value.get<std::string>()) : std::nullopt;
        if (!bytes || bytes->size() < minSize || bytes->size() > maxSize) {
            fail(std::string("\"") + name + "\" must be hex of " + std::to_string(minSize) +
                 (minSize == maxSize ? "" : " to " + std::to_string(maxSize)) + " bytes");
        }
        return *bytes;
    }

    std::uint8_t byte(const char* name, std::uint8_t fallback) const {
        if (!description_.contains(name)) return fallback;
        return hex(name, 1, 1)[0];
    }

    std::chrono::milliseconds delay() const {
        if (!description_.contains("delay_ms")) return std::chrono::milliseconds(0);
        const nlohmann::json& value = description_.at("delay_ms");
        if (!value.is_number_integer() || value.get<std::int64_t>() < 0) {
            fail("\"delay_ms\" must be a whole number of milliseconds");
        }
        return std::chrono::milliseconds(value.get<std::int64_t>());
    }

    // "apdus" / "commands": [{"command": hex, "response": hex}, ...]
    ResponseTable responses(const char* name, std::optional<Bytes> answerToOthers) const {
        ResponseTable table(std::move(answerToOthers));
        if (!description_.contains(name)) return table;
        const nlohmann::json& pairs = description_.at(name);
        if (!pairs.is_array()) fail(std::string("\"") + name + "\" must be a list");
        for (const nlohmann::json& pair : pairs) {
            const auto command = parseHex(pair.value("command", std::string{}));
            const auto response = parseHex(pair.value("response", std::string{}));
            if (!command || command->empty() || !response) {
                fail(std::string("each of \"") + name + "\" needs \"command\" and \"response\" hex");
            }
            table.add(*command, *response);
        }
        return table;
    }

    // NFCID1: single, double or triple size (ISO/IEC 14443-3 6.5.4).
    Bytes uid() const {
        Bytes uid = hex("uid", 1, 255);
        if (uid.size() != 4 && uid.size() != 7 && uid.size() != 10) {
            fail("\"uid\" must be hex of 4, 7 or 10 bytes, not " + std::to_string(uid.size()));
        }
        return uid;
    }

    const nlohmann::json& raw() const { return description_; }

private:
    const nlohmann::json& description_;
    std::string id_;
};

}  // namespace vreader

#endif
