// Reading a profile file, and replacing its contents safely while other threads and
// processes may be writing the same file.
//
// A replacement happens under an exclusive flock() held from reading the old text
// to renaming the new file into place: concurrent writers take turns and none of
// them loses another's update. The new text goes to a temporary file in the same
// folder, is flushed to disk and then renamed over the old file, so readers and a
// crash see either the old or the new file, never a half-written one.
#ifndef HEXKIT_PROFILE_FILE_H
#define HEXKIT_PROFILE_FILE_H

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hexkit::profile {

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> readFileText(const char* path);

enum class ReplaceOutcome { Replaced, Unchanged, Failed };

// Computes the new text from the current one (empty for a file that does not exist
// yet) and puts it in place when it differs. A missing file is created only when
// createIfMissing is set. The replacement keeps the file's permission bits (and
// owner where the writer may set it); when path is a symbolic link, the file it
// points to is replaced and the link stays.
ReplaceOutcome replaceFileText(const char* path, bool createIfMissing,
                               const std::function<std::string(std::string_view)>& edit);

}  // namespace hexkit::profile

#endif
