#include "profile_store.h"

#include <cstddef>
#include <vector>

#include "profile_syntax.h"

namespace hexkit::profile {

namespace {

// Editors on Windows often start a UTF-8 file with a byte order mark; it must not
// hide a section header on the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kDefaultLineEnding = "\n";

struct Line {
    std::string_view content;  // without the line ending
    std::string_view ending;   // "\r\n", "\n"; on a last line also "\r" or empty
    ParsedLine parsed;
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto newline = text.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
        const std::string_view whole = text.substr(start, end - start);
        std::string_view content = whole;
        if (!content.empty() && content.back() == '\n') content.remove_suffix(1);
        // A carriage return ends the line before a line feed, and also as the file's
        // very last byte (a CRLF whose LF went missing): either way it is no part of
        // the value, so a later edit that completes the break changes no value.
        if (!content.empty() && content.back() == '\r' &&
            (content.size() < whole.size() || end == text.size()))
            content.remove_suffix(1);
        std::string_view parsedContent = content;
        if (start == 0 && parsedContent.starts_with(kByteOrderMark))
            parsedContent.remove_prefix(kByteOrderMark.size());
        lines.push_back({content, whole.substr(content.size()), parseLine(parsedContent)});
        start = end;
    }
    return lines;
}

constexpr std::string_view kLoneCarriageReturn = "\r";

// New lines follow the convention the file already uses.
std::string_view lineEndingOf(const std::vector<Line>& lines) {
    for (const auto& line : lines)
        if (!line.ending.empty() && line.ending != kLoneCarriageReturn) return line.ending;
    return kDefaultLineEnding;
}

// What completes the break after a file's last line before anything follows it:
// the file's own line ending, or just the line feed a lone carriage return lacks.
std::string_view missingBreakAfter(std::string_view text, std::string_view fileEnding) {
    if (text.empty() || text.back() == '\n') return {};
    return text.back() == '\r' ? std::string_view("\n") : fileEnding;
}

// Marks, for every line, whether it lies in a block of the wanted section (headers
// included).
std::vector<bool> linesInSection(const std::vector<Line>& lines, std::string_view section) {
    std::vector<bool> inSection(lines.size(), false);
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].parsed.kind == LineKind::Section)
            inside = namesEqual(lines[i].parsed.name, section);
        inSection[i] = inside;
    }
    return inSection;
}

bool holdsKey(const Line& line, std::string_view key) {
    return line.parsed.kind == LineKind::Key && namesEqual(line.parsed.name, key);
}

struct KeyPlace {
    std::optional<std::size_t> keyLine;      // first line holding the key
    std::optional<std::size_t> appendAfter;  // last key line (or header) of the first block
};

KeyPlace placeOfKey(const std::vector<Line>& lines, std::string_view section,
                    std::string_view key) {
    const auto inSection = linesInSection(lines, section);
    KeyPlace place;
    bool seenHeader = false;
    bool firstBlockEnded = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto kind = lines[i].parsed.kind;
        if (!inSection[i] || kind == LineKind::Section) {
            // Leaving the section, or a second header of its name, ends the first block.
            if (seenHeader) firstBlockEnded = true;
            if (!inSection[i]) continue;
            seenHeader = true;
        }
        if (!place.keyLine && holdsKey(lines[i], key)) place.keyLine = i;
        if (!firstBlockEnded && (kind == LineKind::Section || kind == LineKind::Key))
            place.appendAfter = i;
    }
    return place;
}

// The line's own text up to the value (key spelling, '=', blanks after it) is kept.
std::string replaceValueOf(std::string_view content, std::string_view encodedValue) {
    std::size_t valueStart = content.find('=') + 1;
    while (valueStart < content.size() &&
           (content[valueStart] == ' ' || content[valueStart] == '\t'))
        ++valueStart;
    std::string replaced(content.substr(0, valueStart));
    replaced += encodedValue;
    return replaced;
}

std::string keyLine(std::string_view key, std::string_view encodedValue,
                    std::string_view ending) {
    std::string line(key);
    line += '=';
    line += encodedValue;
    line += ending;
    return line;
}

std::string replaceKeyLine(const std::vector<Line>& lines, std::size_t target,
                           std::string_view encodedValue) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += i == target ? replaceValueOf(lines[i].content, encodedValue)
                            : std::string(lines[i].content);
        text += lines[i].ending;
    }
    return text;
}

std::string insertKeyLine(const std::vector<Line>& lines, std::size_t after,
                          std::string_view key, std::string_view encodedValue) {
    const auto ending = lineEndingOf(lines);
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i].content;
        text += lines[i].ending;
        if (i != after) continue;
        // The line before the new one needs a break even if it was the file's last.
        text += missingBreakAfter(text, ending);
        text += keyLine(key, encodedValue, ending);
    }
    return text;
}

std::string appendSection(std::string_view original, const std::vector<Line>& lines,
                          std::string_view section, std::string_view key,
                          std::string_view encodedValue) {
    const auto ending = lineEndingOf(lines);
    std::string text(original);
    text += missingBreakAfter(text, ending);
    text += '[';
    text += section;
    text += ']';
    text += ending;
    text += keyLine(key, encodedValue, ending);
    return text;
}

template <typename DropLine>
std::string withoutLines(const std::vector<Line>& lines, DropLine&& drop) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (drop(i)) continue;
        text += lines[i].content;
        text += lines[i].ending;
    }
    return text;
}

}  // namespace

std::optional<std::string_view> findValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    const auto lines = splitLines(text);
    const auto place = placeOfKey(lines, section, key);
    if (!place.keyLine) return std::nullopt;
    return lines[*place.keyLine].parsed.value;
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
    const auto lines = splitLines(text);
    const auto place = placeOfKey(lines, section, key);
    const auto encodedValue = encodeValue(value);
    if (place.keyLine) return replaceKeyLine(lines, *place.keyLine, encodedValue);
    if (place.appendAfter) return insertKeyLine(lines, *place.appendAfter, key, encodedValue);
    return appendSection(text, lines, section, key, encodedValue);
}

std::string withoutKey(std::string_view text, std::string_view section, std::string_view key) {
    const auto lines = splitLines(text);
    const auto inSection = linesInSection(lines, section);
    return withoutLines(lines,
                        [&](std::size_t i) { return inSection[i] && holdsKey(lines[i], key); });
}

std::string withoutSection(std::string_view text, std::string_view section) {
    const auto lines = splitLines(text);
    const auto inSection = linesInSection(lines, section);
    return withoutLines(lines, [&](std::size_t i) { return static_cast<bool>(inSection[i]); });
}

}  // namespace hexkit::profile
