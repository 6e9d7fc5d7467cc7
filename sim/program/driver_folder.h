// The CCID driver folder pcscd loads its USB drivers from (PCSCLITE_HP_DROPDIR),
// made at run time: the system's libccid.so itself (a symbolic link) beside a copy
// of its Info.plist whose ifdDriverOptions pass escape commands to the reader, or
// do not, as a stock system has it.
#ifndef VREADER_DRIVER_FOLDER_H
#define VREADER_DRIVER_FOLDER_H

#include <string>

namespace vreader {

// Where Debian's libccid package puts the driver.
inline constexpr const char* kSystemCcidBundle = "/usr/lib/pcsc/drivers/ifd-ccid.bundle";

// The Info.plist text with the value of ifdDriverOptions set to 0x0001 (escape
// allowed) or 0x0000; throws std::runtime_error when the key is missing.
std::string withEscapeOption(const std::string& infoPlist, bool escapeAllowed);

// Makes folder/ifd-ccid.bundle from the system bundle; throws std::runtime_error.
void makeDriverFolder(const std::string& folder, bool escapeAllowed, const std::string& systemBundle = kSystemCcidBundle);

}  // namespace vreader

#endif
