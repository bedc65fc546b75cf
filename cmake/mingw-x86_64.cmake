# Cross-compiles Travinel for 64-bit Windows with MinGW-w64 (x86_64) on Linux: the control for
# 64-bit hosts (64-bit Office/VBA, .NET x64 programs, the 64-bit cscript and PowerShell).
#   cmake -S . -B build/mingw64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
# ctest then runs the Windows programs through cmake/wine-run in a 64-bit Wine prefix (wine64).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TRAVINEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(TRAVINEL_WINEARCH win64 CACHE STRING "The Wine the Windows programs run under (win32, win64)")
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
