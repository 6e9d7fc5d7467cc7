// Finding and editing one value in the text of a profile (INI) file.
//
// Edits keep every byte they have no reason to touch: comments, blank lines,
// spacing, letter case and line endings of all other lines stay as they are. A
// section name may head several blocks of the file; they are searched in file
// order and, of two equal keys, the first one counts.
#ifndef HEXKIT_PROFILE_STORE_H
#define HEXKIT_PROFILE_STORE_H

#include <optional>
#include <string>
#include <string_view>

namespace hexkit::profile {

// The value of key in section, or nothing when there is no such key line. Names
// are expected trimmed.
std::optional<std::string_view> findValue(std::string_view text, std::string_view section,
                                          std::string_view key);

// Each edit returns the whole new text, equal to text when there is nothing to do.
// Names and value must have passed the isStorable... checks of profile_syntax.h.

// Replaces the value of the first line holding key (keeping that line's spelling,
// spacing before the value and line ending), or adds "key=value" after the last
// key line of the section's first block, or adds the section with the key at the
// end of the text.
std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);

// Drops every line holding key in the section.
std::string withoutKey(std::string_view text, std::string_view section, std::string_view key);

// Drops every block of the section: its header and all lines up to the next header.
std::string withoutSection(std::string_view text, std::string_view section);

}  // namespace hexkit::profile

#endif
