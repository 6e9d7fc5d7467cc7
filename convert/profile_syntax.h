// The line grammar of profile (INI) files: how one line is classified and what
// names and values it carries, and which names and values a write may store.
//
//   [section]        a section header; the name is trimmed
//   key = value      split at the first '='; key and value are trimmed, then a
//                    value wrapped in one pair of double quotes loses them
//   ; text, # text   comments
//
// Trimming removes blanks (spaces and tabs). Names compare ASCII case-insensitively.
#ifndef HEXKIT_PROFILE_SYNTAX_H
#define HEXKIT_PROFILE_SYNTAX_H

#include <string>
#include <string_view>

namespace hexkit::profile {

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine {
    LineKind kind = LineKind::Blank;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key lines only: trimmed and unquoted
};

// content is one line without its line ending.
ParsedLine parseLine(std::string_view content);

std::string_view trimBlanks(std::string_view text);
bool namesEqual(std::string_view a, std::string_view b);

// What a write may store without changing the structure of the file. Names are
// expected trimmed.
bool isStorableSectionName(std::string_view name);
bool isStorableKeyName(std::string_view name);
bool isStorableValue(std::string_view value);

// The value as it is written after "key=": quoted when a plain read would not give
// it back unchanged (leading or trailing blanks, or already wrapped in quotes).
std::string encodeValue(std::string_view value);

}  // namespace hexkit::profile

#endif
