# Cross-compiles Travinel for 32-bit Windows with MinGW-w64 (i686) on Linux.
#   cmake -S . -B build/mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# ctest then runs the Windows programs through cmake/wine-run (Wine, private prefix per build).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(TRAVINEL_MINGW_TRIPLET i686-w64-mingw32)
# The posix thread model, named explicitly rather than through Debian's alternatives (whose
# default is the win32 model): GCC 12's win32 model has no std::mutex, which GoogleTest needs on
# Windows (its death tests too). The product creates no threads; -static links winpthread in,
# so programs and the DLL still import system DLLs only.
set(CMAKE_C_COMPILER ${TRAVINEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRAVINEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TRAVINEL_MINGW_TRIPLET}-windres)

# Headers and libraries come from the MinGW sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TRAVINEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# add_test commands naming a Windows executable target run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
