// Every reader PC/SC lists, in the platform's order, and the one the library picks.
#ifndef QVR_PROBE_READER_LISTING_H
#define QVR_PROBE_READER_LISTING_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qvr::tools {

// Empty when the PC/SC service cannot be reached or lists no reader; error receives
// the platform's result then (SCARD_E_NO_READERS_AVAILABLE for an empty list).
std::vector<std::string> listReaders(long& error);

// The reader the library uses: the first whose name contains text (case-sensitive),
// or the first of all when text is null or empty; nothing when none matches.
std::optional<std::size_t> chooseReader(const std::vector<std::string>& names, const char* text);

}  // namespace qvr::tools

#endif
