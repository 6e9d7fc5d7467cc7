#include "program/scenario_cards.h"

#include <map>

#include "model/cards/felica_card.h"
#include "program/scenario.h"
#include "model/cards/type2_tag.h"
#include "model/cards/type_a_card.h"
#include "model/cards/type_b_card.h"

namespace vreader {

namespace {

using nlohmann::json;

// Reads one card's fields, naming the card in every complaint.
class CardFields {
public:
    explicit CardFields(const json& description) : description_(description) {
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
        const json& value = description_.at(name);
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
        const json& value = description_.at("delay_ms");
        if (!value.is_number_integer() || value.get<std::int64_t>() < 0) {
            fail("\"delay_ms\" must be a whole number of milliseconds");
        }
        return std::chrono::milliseconds(value.get<std::int64_t>());
    }

    // "apdus" / "commands": [{"command": hex, "response": hex}, ...]
    ResponseTable responses(const char* name, std::optional<Bytes> answerToOthers) const {
        ResponseTable table(std::move(answerToOthers));
        if (!description_.contains(name)) return table;
        const json& pairs = description_.at(name);
        if (!pairs.is_array()) fail(std::string("\"") + name + "\" must be a list");
        for (const json& pair : pairs) {
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

    const json& raw() const { return description_; }

private:
    const json& description_;
    std::string id_;
};

const Bytes kNoSuchInstruction{0x6D, 0x00};

std::unique_ptr<Card> typeA(const CardFields& f) {
    TypeAIdentity identity{f.uid(), f.hex("atqa", 2, 2, Bytes{0x00, 0x04}),
                           f.byte("sak", 0x20), f.hex("ats", 1, 20, Bytes{0x05, 0x78, 0x80, 0x70, 0x02})};
    auto apdus = f.responses("apdus", f.hex("default_sw", 2, 2, kNoSuchInstruction));
    return std::make_unique<TypeACard>(f.id(), f.delay(), std::move(identity), std::move(apdus));
}

std::unique_ptr<Card> type2(const CardFields& f) {
    TypeAIdentity identity{f.uid(), f.hex("atqa", 2, 2, Bytes{0x00, 0x44}),
                           f.byte("sak", 0x00), {}};
    Bytes pages = f.hex("pages", Type2Tag::kPageSize, 4096);
    if (pages.size() % Type2Tag::kPageSize != 0) f.fail("\"pages\" must be whole 4-byte pages");
    if (identity.selRes & 0x20) f.fail("a Type 2 tag does not speak ISO/IEC 14443-4 (sak bit 6)");
    return std::make_unique<Type2Tag>(f.id(), f.delay(), std::move(identity), std::move(pages),
                                      f.hex("version", 8, 8, Bytes{}));
}

std::unique_ptr<Card> typeB(const CardFields& f) {
    TypeBIdentity identity{f.hex("pupi", 4, 4), f.hex("application_data", 4, 4, Bytes(4, 0x00)),
                           f.hex("protocol_info", 3, 3, Bytes{0x00, 0x81, 0x85}),
                           f.hex("attrib_response", 1, 32, Bytes{0x00})};
    auto apdus = f.responses("apdus", f.hex("default_sw", 2, 2, kNoSuchInstruction));
    return std::make_unique<TypeBCard>(f.id(), f.delay(), std::move(identity), std::move(apdus));
}

std::unique_ptr<Card> felica(const CardFields& f) {
    FeliCaIdentity identity{f.hex("idm", 8, 8), f.hex("pmm", 8, 8),
                            f.hex("system_code", 2, 2, Bytes{0x88, 0xB4}), f.byte("mode", 0x00)};
    if (f.raw().contains("rates")) {
        const auto rates = f.raw().at("rates");
        if (!rates.is_array()) f.fail("\"rates\" must be a list of 212 and/or 424");
        identity.answersAt212 = identity.answersAt424 = false;
        for (const auto& rate : rates) {
            if (rate == 212) identity.answersAt212 = true;
            else if (rate == 424) identity.answersAt424 = true;
            else f.fail("\"rates\" must be a list of 212 and/or 424");
        }
    }
    // Unknown FeliCa commands go unanswered.
    auto commands = f.responses("commands", std::nullopt);
    return std::make_unique<FeliCaCard>(f.id(), f.delay(), std::move(identity), std::move(commands));
}

}  // namespace

std::unique_ptr<Card> cardFromJson(const json& description) {
    using Builder = std::unique_ptr<Card> (*)(const CardFields&);
    static const std::map<std::string, Builder> kBuilders = {
        {"type-a", &typeA}, {"type2", &type2}, {"type-b", &typeB}, {"felica", &felica},
    };
    const CardFields fields(description);
    const auto type = description.value("type", std::string{});
    const auto builder = kBuilders.find(type);
    if (builder == kBuilders.end()) {
        fields.fail("unknown \"type\" \"" + type + "\" (type-a, type2, type-b, felica)");
    }
    return builder->second(fields);
}

}  // namespace vreader
