# 32-bit Windows: cmake --toolchain cmake/toolchains/mingw-w64-i686.cmake
set(QVR_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QVR_WINE /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
