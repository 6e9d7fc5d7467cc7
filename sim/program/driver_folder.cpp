#include "program/driver_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vreader {

std::string withEscapeOption(const std::string& infoPlist, bool escapeAllowed) {
    const std::string key = "<key>ifdDriverOptions</key>";
    const auto at = infoPlist.find(key);
    const auto open = at == std::string::npos ? at : infoPlist.find("<string>", at);
    const auto close = open == std::string::npos ? open : infoPlist.find("</string>", open);
    if (close == std::string::npos) throw std::runtime_error("the CCID driver's Info.plist has no ifdDriverOptions");
    const auto valueAt = open + std::string("<string>").size();
    std::string edited = infoPlist;
    edited.replace(valueAt, close - valueAt, escapeAllowed ? "0x0001" : "0x0000");
    return edited;
}

void makeDriverFolder(const std::string& folder, bool escapeAllowed, const std::string& systemBundle) {
    namespace fs = std::filesystem;
    const fs::path source = fs::path(systemBundle) / "Contents";
    const fs::path target = fs::path(folder) / "ifd-ccid.bundle" / "Contents";
    std::ifstream in(source / "Info.plist");
    if (!in) throw std::runtime_error("cannot read " + (source / "Info.plist").string() + " (package libccid)");
    std::stringstream text;
    text << in.rdbuf();
    fs::create_directories(target / "Linux");
    std::ofstream out(target / "Info.plist", std::ios::trunc);
    out << withEscapeOption(text.str(), escapeAllowed);
    if (!out.flush()) throw std::runtime_error("cannot write " + (target / "Info.plist").string());
    const fs::path library = target / "Linux" / "libccid.so";
    std::error_code ignored;
    fs::remove(library, ignored);
    fs::create_symlink(fs::canonical(source / "Linux" / "libccid.so"), library);
}

}  // namespace vreader
