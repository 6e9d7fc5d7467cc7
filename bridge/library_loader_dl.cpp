// The loader seam on Linux: dlopen and dlsym.
#include "library_loader.h"

#include <dlfcn.h>

namespace ferrow {
namespace {

// The unversioned name: RUNPATH $ORIGIN finds one lying beside the bridge,
// otherwise the dynamic loader's usual search order applies.
constexpr const char* kReaderLibraryName = "libQVR-ACR122.so";

}  // namespace

void* loadReaderLibrary() noexcept { return dlopen(kReaderLibraryName, RTLD_NOW); }

void* findExport(void* library, const char* name) noexcept { return dlsym(library, name); }

}  // namespace ferrow
