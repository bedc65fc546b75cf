# Cross-compiles Travinel for 32-bit Windows with MinGW-w64 (i686) on Linux: the control for
# 32-bit hosts (Internet Explorer, VB6, 32-bit Office and other 32-bit programs).
#   cmake -S . -B build/mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# ctest then runs the Windows programs through cmake/wine-run in a 32-bit Wine prefix.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TRAVINEL_MINGW_TRIPLET i686-w64-mingw32)
set(TRAVINEL_WINEARCH win32 CACHE STRING "The Wine the Windows programs run under (win32, win64)")
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
