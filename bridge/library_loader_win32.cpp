// The loader seam on Windows: LoadLibraryA and GetProcAddress.
#include "library_loader.h"

#include <windows.h>

namespace ferrow {
namespace {

// The bare name leaves the search to Windows: the folder of the program (for Java,
// java.exe's), the system folders, the current folder, then PATH. The bridge's own
// folder is not among them.
constexpr const char* kReaderLibraryName = "QVR-ACR122.dll";

}  // namespace

void* loadReaderLibrary() noexcept { return LoadLibraryA(kReaderLibraryName); }

void* findExport(void* library, const char* name) noexcept {
    // FARPROC is a generic function pointer; the caller casts to the real type.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace ferrow
