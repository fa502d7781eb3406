# Cross build for 32-bit Windows (i686), which runs on every Windows PC: on
# 32-bit Windows and, through WOW64, on 64-bit Windows.
#   cmake -S . -B build/win32 -G Ninja --toolchain cmake/mingw-w64-i686.cmake
set(TARVIK_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
