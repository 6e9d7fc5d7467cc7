// Scenario files: the shipped ones load, broken ones are refused with a reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "model/cards/felica_card.h"
#include "program/scenario.h"
#include "test_bytes.h"
#include "model/cards/type_b_card.h"

namespace vreader::testing {
namespace {

const std::filesystem::path kScenarios = VIRTUAL_READER_SCENARIO_DIR;

std::vector<std::string> idsOf(const std::vector<Card*>& cards) {
    std::vector<std::string> ids;
    for (const Card* card : cards) ids.push_back(card->id());
    return ids;
}

TEST(Scenario, ShippedScenariosLoadWithTheirCards) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"demo.json", {"typeb", "felica"}}, {"empty.json", {}},
        {"type-a.json", {"typea"}},         {"mifare-ul.json", {"ultralight"}},
        {"type-b.json", {"typeb"}},         {"felica-212.json", {"felica"}},
        {"felica-424.json", {"felica424"}},
        {"mifare-classic-1k.json", {"classic1k"}}, {"mifare-classic-4k.json", {"classic4k"}},
        {"mifare-classic-topup.json", {"topup"}},  {"ntag213.json", {"ntag213"}},
        {"ntag215.json", {"ntag215"}},             {"ntag216.json", {"ntag216"}},
    };
    for (const auto& [file, ids] : cases) {
        const Scenario scenario = loadScenarioFile(kScenarios / file);
        EXPECT_EQ(idsOf(scenario.initialField), ids) << file;
    }
}

TEST(Scenario, DemoTypeBCardAnswersTheFixedCommandWith95BytesAndSuccess) {
    const Scenario scenario = loadScenarioFile(kScenarios / "demo.json");
    Card* card = scenario.find("typeb");
    ASSERT_NE(card, nullptr);
    const auto answer = card->answer(H("90 32 03 00 00 00"));
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->size(), 97u);
    EXPECT_EQ(answer->at(95), 0x90);
    EXPECT_EQ(answer->at(96), 0x00);
    EXPECT_EQ(card->answer(H("00 B0 00 00 00")), H("6A 82"));
}

TEST(Scenario, FieldPresenceAndCardDetailsAreRead) {
    const Scenario scenario = parseScenario(R"({
      "presence": "tag",
      "field": ["b"],
      "cards": [
        {"id": "f", "type": "felica", "idm": "0102030405060708", "pmm": "1112131415161718",
         "system_code": "12 34", "mode": "03", "rates": [424], "delay_ms": 5},
        {"id": "b", "type": "type-b", "pupi": "01020304",
         "apdus": [{"command": "00 B0 00 00 00", "response": "AA 90 00"}], "default_sw": "6A 82"}
      ]})");
    EXPECT_EQ(scenario.presence, Presence::WhileTagInField);
    EXPECT_EQ(idsOf(scenario.initialField), std::vector<std::string>{"b"});
    Card* felica = scenario.find("f");
    ASSERT_NE(felica, nullptr);
    EXPECT_EQ(felica->answerDelay(), std::chrono::milliseconds(5));
    EXPECT_EQ(felica->answer(H("0A 04 01 02 03 04 05 06 07 08")), H("0B 05 01 02 03 04 05 06 07 08 03"));
    EXPECT_FALSE(felica->targetData({Modulation::FeliCa212, H("00 FF FF 00 00"), false}));
    EXPECT_EQ(felica->targetData({Modulation::FeliCa424, H("00 12 34 01 00"), false}),
              H("14 01 01 02 03 04 05 06 07 08 11 12 13 14 15 16 17 18 12 34"));
    Card* typeB = scenario.find("b");
    ASSERT_NE(typeB, nullptr);
    EXPECT_EQ(typeB->answer(H("00 B0 00 00 00")), H("AA 90 00"));
    EXPECT_EQ(typeB->answer(H("00 B0 00 00 01")), H("6A 82"));
    EXPECT_EQ(typeB->targetData({Modulation::TypeB106, H("00"), false}),
              H("50 01 02 03 04 00 00 00 00 00 81 85 01 00"));
}

TEST(Scenario, BrokenScenariosAreRefusedWithAReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"[]", "not a JSON object"},
        {"{", "not a JSON object"},
        {R"({"cards": [{"type": "type-b", "pupi": "01020304"}]})", "no \"id\""},
        {R"({"cards": [{"id": "x", "type": "type-c"}]})", "unknown \"type\""},
        {R"({"cards": [{"id": "x", "type": "type-b", "pupi": "010203"}]})", "\"pupi\" must be hex of 4 bytes"},
        {R"({"cards": [{"id": "x", "type": "type-b"}]})", "missing \"pupi\""},
        {R"({"cards": [{"id": "x", "type": "type2", "uid": "01020304", "pages": "010203"}]})", "\"pages\""},
        {R"({"cards": [{"id": "x", "type": "felica", "idm": "0102030405060708",
             "pmm": "0102030405060708", "rates": [100]}]})", "\"rates\""},
        {R"({"cards": [{"id": "x", "type": "type-b", "pupi": "01020304"},
                       {"id": "x", "type": "type-b", "pupi": "01020304"}]})", "two cards"},
        {R"({"field": ["y"], "cards": []})", "unknown card"},
        {R"({"presence": "sometimes"})", "\"presence\""},
        {R"({"cards": [{"id": 5}]})", "malformed"},
    };
    for (const auto& [text, reason] : cases) {
        try {
            parseScenario(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const ScenarioError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos)
                << text << " -> " << e.what();
        }
    }
}

TEST(Scenario, TimeScaleIsReadAndKeptWithinReason) {
    EXPECT_EQ(parseScenario(R"({"time_scale": 0.01})").timeScale, 0.01);
    EXPECT_EQ(parseScenario("{}").timeScale, 1.0);
    for (const char* text : {R"({"time_scale": 0})", R"({"time_scale": 2})", R"({"time_scale": "fast"})"}) {
        EXPECT_THROW(parseScenario(text), ScenarioError) << text;
    }
}

// ISO/IEC 14443-3 knows UIDs of 4, 7 and 10 bytes: another length is refused with
// the file and the card named.
TEST(Scenario, UidOfAnotherLengthIsRefusedNamingFileAndCard) {
    const auto path = std::filesystem::temp_directory_path() / "uid-length-scenario.json";
    std::ofstream(path) << R"({"cards": [{"id": "odd", "type": "type2", "uid": "01 02 03 04 05",
                                          "pages": "00 00 00 00"}]})";
    try {
        loadScenarioFile(path);
        ADD_FAILURE() << "a 5-byte UID was accepted";
    } catch (const ScenarioError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(path.string()), std::string::npos) << message;
        EXPECT_NE(message.find("\"odd\""), std::string::npos) << message;
        EXPECT_NE(message.find("4, 7 or 10"), std::string::npos) << message;
    }
    std::filesystem::remove(path);
}

TEST(Scenario, MissingFileNamesThePath) {
    EXPECT_THROW(loadScenarioFile("/nonexistent/scenario.json"), ScenarioError);
}

}  // namespace
}  // namespace vreader::testing
