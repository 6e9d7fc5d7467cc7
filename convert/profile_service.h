// The profile-string service behind Hexkit's two profile exports. On Linux it is
// the library's own INI store; on Windows it is the system's profile functions.
// Both sides see the same contract, so the exports keep one behaviour.
#ifndef HEXKIT_PROFILE_SERVICE_H
#define HEXKIT_PROFILE_SERVICE_H

#include <string>

namespace hexkit {

// The value of key in section of file, or an empty string when the file, the
// section or the key is absent (or the value is empty). Null pointers pass through
// to the service, whose convention decides what they mean.
std::string readProfileValue(const char* section, const char* key, const char* file);

// Writes value under section and key in file. Whether it worked is not reported:
// callers of the export learn nothing from the result.
void writeProfileValue(const char* value, const char* section, const char* key, const char* file);

}  // namespace hexkit

#endif
