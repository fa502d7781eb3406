# Cross build for Windows with Debian's mingw-w64 (the POSIX-thread variant,
# which C++20's std::thread and friends need), for 64-bit Windows unless
# TARVIK_MINGW_ARCH says i686 (cmake/mingw-w64-i686.cmake). Test programs run
# under Wine through wine-run.sh.
#   cmake -S . -B build/win64 -G Ninja --toolchain cmake/mingw-w64.cmake
if(NOT DEFINED TARVIK_MINGW_ARCH)
  set(TARVIK_MINGW_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TARVIK_MINGW_ARCH})

set(TARVIK_MINGW_TRIPLE ${TARVIK_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVIK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVIK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVIK_MINGW_TRIPLE}-windres)

# Headers and libraries only from the Windows sysroot; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TARVIK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C++ runtime, libgcc and winpthread linked in,
# so that nothing has to be copied next to it (or found by Wine).
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
