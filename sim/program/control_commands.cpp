#include "program/control_commands.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

namespace vreader {

namespace {

using Words = std::vector<std::string>;
using CommandHandler = std::string (*)(const Words& words, VirtualReader& device);

Words splitWords(std::string_view line) {
    Words words;
    std::istringstream stream{std::string(line)};
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

std::string listIds(const std::vector<Card*>& cards) {
    std::string ids;
    for (const Card* card : cards) ids += (ids.empty() ? "" : ",") + card->id();
    return ids.empty() ? "-" : ids;
}

Card* cardNamed(const Words& words, const VirtualReader& device) {
    return words.size() == 2 ? device.scenario().find(words[1]) : nullptr;
}

std::string insert(const Words& words, VirtualReader& device) {
    Card* card = cardNamed(words, device);
    if (!card) return "error usage: insert <card-id> (a card of the scenario)";
    device.field().insert(*card);
    return "ok";
}

std::string remove(const Words& words, VirtualReader& device) {
    Card* card = cardNamed(words, device);
    if (!card) return "error usage: remove <card-id> (a card of the scenario)";
    if (!device.field().remove(*card)) return "error " + card->id() + " is not in the field";
    return "ok";
}

std::string fault(const Words& words, VirtualReader& device) {
    Faults& faults = device.faults();
    const std::string kind = words.size() >= 2 ? words[1] : "";
    if (kind == "timeout" && words.size() == 2) {
        faults.exchangeTimeout = true;
    } else if (kind == "vanish-after-poll" && words.size() == 2) {
        faults.vanishAfterPoll = true;
    } else if (kind == "clear" && words.size() == 2) {
        faults.clear();
    } else if (kind == "slow" && words.size() == 3) {
        unsigned milliseconds = 0;
        const std::string& text = words[2];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), milliseconds);
        if (error != std::errc{} || end != text.data() + text.size()) {
            return "error usage: fault slow <milliseconds>";
        }
        faults.slowAnswer = std::chrono::milliseconds(milliseconds);
    } else {
        return "error usage: fault timeout|vanish-after-poll|slow <ms>|clear";
    }
    return "ok";
}

std::string drop(const Words&, VirtualReader& device) {
    device.unplugged = true;
    return "ok";
}

std::string attach(const Words&, VirtualReader& device) {
    device.unplugged = false;
    return "ok";
}

std::string status(const Words&, VirtualReader& device) {
    std::vector<Card*> all;
    for (const auto& card : device.scenario().cards) all.push_back(card.get());
    return std::string("ok attached=") + (device.attached ? "yes" : "no") +
           " presence=" + (device.presence() == Presence::Always ? "always" : "tag") +
           " rf=" + (device.chip().rfFieldOn() ? "on" : "off") +
           " field=" + listIds(device.field().cards()) + " cards=" + listIds(all) +
           " card=" + (device.slot().view().present ? "yes" : "no");
}

std::string stats(const Words& words, VirtualReader& device) {
    HandlerStats& s = device.stats();
    char line[200];
    std::snprintf(line, sizeof line,
                  "ok commands=%llu mean_us=%.2f max_us=%.2f card_state_queries=%llu time_extensions=%llu ioctls=%llu",
                  static_cast<unsigned long long>(s.commands), s.meanMicroseconds(),
                  static_cast<double>(s.longest.count()) / 1000.0,
                  static_cast<unsigned long long>(s.cardStateQueries),
                  static_cast<unsigned long long>(s.timeExtensions), static_cast<unsigned long long>(s.ioctls()));
    if (words.size() == 2 && words[1] == "reset") s.reset();
    return line;
}

std::string quit(const Words&, VirtualReader& device) {
    device.quitRequested = true;
    return "ok";
}

}  // namespace

std::string runControlCommand(std::string_view line, VirtualReader& device) {
    static const std::map<std::string, CommandHandler> kCommands = {
        {"insert", &insert}, {"remove", &remove}, {"fault", &fault},   {"drop", &drop},
        {"attach", &attach}, {"status", &status}, {"stats", &stats},   {"quit", &quit},
        {"unplug", &drop},   {"plug", &attach},
    };
    const Words words = splitWords(line);
    if (words.empty()) return "error empty command";
    const auto command = kCommands.find(words[0]);
    if (command == kCommands.end()) {
        return "error unknown command: " + words[0] +
               " (insert, remove, fault, drop, attach, unplug, plug, status, stats, quit)";
    }
    return command->second(words, device);
}

}  // namespace vreader
