// The INI store's edits on arbitrary file contents with arbitrary names and values.
// Checks: a read after a write returns the written value, a write changes at most the
// one line it must (every other line of the file survives byte for byte), other keys
// read the same before and after, and a deleted key reads as absent.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "profile_store.h"
#include "profile_syntax.h"

namespace {

using namespace hexkit::profile;

// Aborts, naming the failed check's line, so the fuzzer keeps the input that broke it.
void check(bool condition, int line = __builtin_LINE()) {
    if (condition) return;
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, next - start));
        start = next;
    }
    return lines;
}

// The lines that differ once the common leading and trailing lines are set aside.
std::pair<std::size_t, std::size_t> changedLines(const std::vector<std::string>& before,
                                                 const std::vector<std::string>& after) {
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return {before.size() - prefix - suffix, after.size() - prefix - suffix};
}

// A file without a final line break gets one before anything is added after its
// last line; that line is then not counted as changed.
std::string withFinalBreakAsIn(const std::string& before, const std::string& after) {
    if (before.empty() || before.back() == '\n' || after.compare(0, before.size(), before) != 0) return before;
    if (after.compare(before.size(), 2, "\r\n") == 0) return before + "\r\n";
    if (after.compare(before.size(), 1, "\n") == 0) return before + "\n";
    return before;
}

std::string name(FuzzedDataProvider& input) {
    static const char* usual[] = {"reader", "Reader", "port", "PORT", "a", "k", "section one"};
    if (input.ConsumeBool()) return usual[input.ConsumeIntegralInRange<std::size_t>(0, 6)];
    return input.ConsumeRandomLengthString(12);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider input(bytes, size);
    const std::string section = std::string(trimBlanks(name(input)));
    const std::string key = std::string(trimBlanks(name(input)));
    const std::string value = input.ConsumeRandomLengthString(40);
    const std::string otherSection = std::string(trimBlanks(name(input)));
    const std::string otherKey = std::string(trimBlanks(name(input)));
    const std::string text = input.ConsumeRemainingBytesAsString();
    if (!isStorableSectionName(section) || !isStorableKeyName(key) || !isStorableValue(value)) return 0;

    const bool sameEntry = namesEqual(section, otherSection) && namesEqual(key, otherKey);
    const auto otherBefore = findValue(text, otherSection, otherKey);

    const std::string written = withValue(text, section, key, value);
    const auto readBack = findValue(written, section, key);
    check(readBack.has_value() && *readBack == value);
    const auto [removed, added] = changedLines(linesOf(withFinalBreakAsIn(text, written)), linesOf(written));
    check(removed <= 1 && added <= 2);
    if (!sameEntry) check(findValue(written, otherSection, otherKey) == otherBefore);

    const std::string deleted = withoutKey(written, section, key);
    check(!findValue(deleted, section, key).has_value());
    if (!sameEntry && otherBefore && !namesEqual(section, otherSection))
        check(findValue(deleted, otherSection, otherKey) == otherBefore);
    return 0;
}
