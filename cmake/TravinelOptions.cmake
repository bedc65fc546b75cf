# Compiler settings every Travinel target links: warnings as errors in both builds, and the
# sanitizers when asked for.
add_library(travinel_options INTERFACE)
target_compile_options(travinel_options INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wshadow -Woverloaded-virtual
  # COM interfaces have no virtual destructor by design (objects delete themselves in
  # Release): targets that implement them set TRAVINEL_COM and go without this warning.
  $<$<NOT:$<BOOL:$<TARGET_PROPERTY:TRAVINEL_COM>>>:-Wnon-virtual-dtor>)
target_include_directories(travinel_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(WIN32)
  # Windows 7 API level; static runtime so programs and the DLL import system DLLs only.
  target_compile_definitions(travinel_options INTERFACE
    _WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
  target_link_options(travinel_options INTERFACE -static-libgcc -static-libstdc++ -static)
endif()

if(TRAVINEL_FUZZ)
  # Coverage for libFuzzer and the sanitizers in every library the fuzz targets link.
  target_compile_options(travinel_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(travinel_options INTERFACE -fsanitize=address,undefined)
endif()

if(TRAVINEL_SANITIZE)
  target_compile_options(travinel_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(travinel_options INTERFACE -fsanitize=address,undefined)
endif()

# travinel_test(NAME sources... [LIBS libs...]): a GoogleTest program registered with ctest.
# In the Windows build ctest runs it through the cross-compiling emulator (Wine).
function(travinel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} trv_testing GTest::gtest GTest::gtest_main
    travinel_options)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(ARG_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
endfunction()

# travinel_skip_tests_without_32bit(): the tests this folder registers are reported as skipped
# when cmake/wine-run says that it cannot run them, on a kernel that runs no 32-bit programs
# (MinGW builds only; every Windows program runs through wine-run).
function(travinel_skip_tests_without_32bit)
  if(WIN32)
    cmake_language(DEFER CALL travinel_mark_tests_skippable)
  endif()
endfunction()

function(travinel_mark_tests_skippable)
  get_property(tests DIRECTORY PROPERTY TESTS)
  if(tests)
    set_tests_properties(${tests} PROPERTIES
      SKIP_REGULAR_EXPRESSION "wine-run: skipped: this kernel cannot run 32-bit programs")
  endif()
endfunction()
