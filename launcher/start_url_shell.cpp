#include "start_url.h"

#include "program_folder.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdint>

namespace vanto {

namespace {

constexpr const char* kOpenVerb = "Open";

// The shell may carry out a verb through a COM extension, which needs a COM
// apartment on the calling thread. One entered here is left again on every path.
class ComApartment {
public:
    ComApartment() noexcept
        : entered_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (entered_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool entered_;
};

// ShellExecute's result only looks like an instance handle: it is a small
// number (above 32 on success, an SE_ERR_ code otherwise) that fits in 32 bits.
std::int32_t shellResult(HINSTANCE result) noexcept {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(result));
}

}  // namespace

std::int32_t StartURL(const std::string& fileName) noexcept {
    try {
        const auto folder = programFolder();
        if (!folder) {
            return SE_ERR_PNF;
        }
        const ComApartment apartment;
        // The program's folder as the working directory makes the bare name the
        // file beside the program; the handler starts hidden (SW_HIDE), the
        // desktop owns whatever message the shell itself might show.
        return shellResult(ShellExecuteA(GetDesktopWindow(), kOpenVerb, fileName.c_str(), nullptr,
                                         folder->c_str(), SW_HIDE));
    } catch (...) {
        // Only the copy of the program's folder can throw, and only for lack of memory.
        return SE_ERR_OOM;
    }
}

}  // namespace vanto
