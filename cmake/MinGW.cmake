# What both MinGW-w64 toolchain files share (mingw-i686.cmake, mingw-x86_64.cmake); they set
# TRAVINEL_MINGW_TRIPLET, CMAKE_SYSTEM_PROCESSOR and TRAVINEL_WINEARCH first.
set(CMAKE_SYSTEM_NAME Windows)

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
