// Loading the reader library at run time and finding its entry points. The bridge
// never links the library; each platform's loader does the finding, behind this
// one interface. CMake compiles exactly one implementation: library_loader_dl.cpp
// (dlopen/dlsym) or library_loader_win32.cpp (LoadLibraryA/GetProcAddress).
#ifndef FERROW_LIBRARY_LOADER_H
#define FERROW_LIBRARY_LOADER_H

namespace ferrow {

// Loads the reader library by its bare file name, so that the platform's own
// search order finds it. Loading it again hands back the same module, whose load
// count rises; it is never unloaded. nullptr when no library was found or it
// could not be loaded.
void* loadReaderLibrary() noexcept;

// The address of the function the library exports under name; nullptr when it
// does not export it.
void* findExport(void* library, const char* name) noexcept;

}  // namespace ferrow

#endif
