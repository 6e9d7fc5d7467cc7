# Cross-compiling for Windows with Debian's MinGW-w64 toolchain. Included by the
# per-architecture files, which set QVR_MINGW_TRIPLET first.
#
# The posix flavour of the compilers is used: its C++ runtime has std::mutex and
# std::thread, which the win32 flavour of GCC 12 lacks. Every DLL and program
# carries its C++ runtime and winpthread statically, so nothing but the system's
# own DLLs has to lie beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QVR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QVR_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QVR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Tests run under Wine; ctest puts this in front of every test program.
set(CMAKE_CROSSCOMPILING_EMULATOR ${QVR_WINE})
