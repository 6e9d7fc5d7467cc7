#include "profile_syntax.h"

namespace hexkit::profile {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool containsLineBreak(std::string_view text) {
    for (const char c : text)
        if (isLineBreak(c)) return true;
    return false;
}

bool isWrappedInQuotes(std::string_view text) {
    return text.size() >= 2 && text.front() == '"' && text.back() == '"';
}

ParsedLine parseSectionHeader(std::string_view trimmed) {
    std::string_view inside = trimmed.substr(1);
    const auto close = inside.find(']');
    if (close != std::string_view::npos) inside = inside.substr(0, close);
    return {LineKind::Section, trimBlanks(inside), {}};
}

ParsedLine parseKeyLine(std::string_view trimmed, std::size_t equals) {
    std::string_view value = trimBlanks(trimmed.substr(equals + 1));
    if (isWrappedInQuotes(value)) value = value.substr(1, value.size() - 2);
    return {LineKind::Key, trimBlanks(trimmed.substr(0, equals)), value};
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool namesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    return true;
}

ParsedLine parseLine(std::string_view content) {
    const std::string_view trimmed = trimBlanks(content);
    if (trimmed.empty()) return {LineKind::Blank, {}, {}};
    if (trimmed.front() == ';' || trimmed.front() == '#') return {LineKind::Comment, {}, {}};
    if (trimmed.front() == '[') return parseSectionHeader(trimmed);
    const auto equals = trimmed.find('=');
    if (equals != std::string_view::npos) return parseKeyLine(trimmed, equals);
    return {LineKind::Other, {}, {}};
}

bool isStorableSectionName(std::string_view name) {
    return !name.empty() && !containsLineBreak(name) && name.find(']') == std::string_view::npos;
}

bool isStorableKeyName(std::string_view name) {
    if (name.empty() || containsLineBreak(name)) return false;
    if (name.find('=') != std::string_view::npos) return false;
    // A key line starting like a header or a comment would read back as one.
    return name.front() != '[' && name.front() != ';' && name.front() != '#';
}

bool isStorableValue(std::string_view value) { return !containsLineBreak(value); }

std::string encodeValue(std::string_view value) {
    const bool needsQuotes =
        !value.empty() && (isBlank(value.front()) || isBlank(value.back()) || isWrappedInQuotes(value));
    if (!needsQuotes) return std::string(value);
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted += '"';
    quoted += value;
    quoted += '"';
    return quoted;
}

}  // namespace hexkit::profile
