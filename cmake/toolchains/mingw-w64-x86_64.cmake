# 64-bit Windows: cmake --toolchain cmake/toolchains/mingw-w64-x86_64.cmake
set(QVR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QVR_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
