#include "program/scenario_cards.h"

#include <map>

#include "program/card_fields.h"
#include "program/scenario_storage_cards.h"

#include "model/cards/felica_card.h"
#include "program/scenario.h"
#include "model/cards/type2_tag.h"
#include "model/cards/type_a_card.h"
#include "model/cards/type_b_card.h"

namespace vreader {

namespace {

using nlohmann::json;

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
        {"mifare-classic", &mifareClassicCard}, {"ntag213", &ntag213}, {"ntag215", &ntag215},
        {"ntag216", &ntag216},
    };
    const CardFields fields(description);
    const auto type = description.value("type", std::string{});
    const auto builder = kBuilders.find(type);
    if (builder == kBuilders.end()) {
        fields.fail("unknown \"type\" \"" + type + "\" (type-a, type2, type-b, felica, mifare-classic, ntag213, ntag215, ntag216)");
    }
    return builder->second(fields);
}

}  // namespace vreader
