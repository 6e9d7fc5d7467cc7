// The profile-string exported functions: each runs its operation in the call shell.
#include "call_shell.h"
#include "convert_api.h"

long oGetPrivateProfileString(char* const section, char* const key, char const* const file,
                              char* const out) {
    return hexkit::runInCallShell<long>([&](const hexkit::HexkitConverter& converter) {
        return converter.getProfileString(section, key, file, out);
    });
}

int oWritePrivateProfileString(char const* const value, char const* const section,
                               char const* const key, char const* const file) {
    return hexkit::runInCallShell<int>([&](const hexkit::HexkitConverter& converter) {
        return converter.writeProfileString(value, section, key, file);
    });
}
