// The CCID driver folder made at run time: the system's driver, its options edited.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "program/driver_folder.h"

namespace vreader::testing {
namespace {

const char* const kPlist =
    "<dict>\n\t<key>ifdDriverOptions</key>\n\t<string>0x0000</string>\n\t<key>ifdVendorID</key>\n"
    "\t<array><string>0x072F</string></array>\n</dict>\n";

TEST(DriverFolder, TheEscapeOptionIsSetOrClearedAndNothingElseChanges) {
    EXPECT_EQ(withEscapeOption(kPlist, true),
              "<dict>\n\t<key>ifdDriverOptions</key>\n\t<string>0x0001</string>\n\t<key>ifdVendorID</key>\n"
              "\t<array><string>0x072F</string></array>\n</dict>\n");
    EXPECT_EQ(withEscapeOption(withEscapeOption(kPlist, true), false), kPlist);
    EXPECT_THROW(withEscapeOption("<dict></dict>", true), std::runtime_error);
}

TEST(DriverFolder, LinksTheSystemDriverBesideTheEditedCopy) {
    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path() / ("driver-folder-test-" + std::to_string(::getpid()));
    const fs::path system = base / "system" / "ifd-ccid.bundle";
    fs::create_directories(system / "Contents" / "Linux");
    std::ofstream(system / "Contents" / "Info.plist") << kPlist;
    std::ofstream(system / "Contents" / "Linux" / "libccid.so") << "driver";
    makeDriverFolder((base / "run").string(), true, system.string());
    const fs::path made = base / "run" / "ifd-ccid.bundle" / "Contents";
    EXPECT_EQ(fs::read_symlink(made / "Linux" / "libccid.so"), fs::canonical(system / "Contents/Linux/libccid.so"));
    std::ifstream copy(made / "Info.plist");
    const std::string text((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<string>0x0001</string>"), std::string::npos);
    fs::remove_all(base);
}

}  // namespace
}  // namespace vreader::testing
