# The type library of the control, compiled by MinGW's widl for the build's architecture (a win32
# type library for the 32-bit control, win64 for the 64-bit one). Its library block imports
# stdole2.tlb, which Wine ships: the 32-bit or the 64-bit copy, whichever is installed, serves
# either architecture, since widl reads only the type declarations from it.
find_program(TRAVINEL_WIDL NAMES ${TRAVINEL_MINGW_TRIPLET}-widl REQUIRED)
if(TRAVINEL_WINEARCH STREQUAL "win64")
  set(travinel_widl_arch --win64)
  set(stdole_search x86_64-linux-gnu/wine/x86_64-windows i386-linux-gnu/wine/i386-windows)
else()
  set(travinel_widl_arch --win32)
  set(stdole_search i386-linux-gnu/wine/i386-windows x86_64-linux-gnu/wine/x86_64-windows)
endif()
find_path(TRAVINEL_STDOLE_DIR stdole2.tlb PATHS /usr/lib PATH_SUFFIXES ${stdole_search}
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
  DOC "Folder of Wine's stdole2.tlb, which the type library imports")
if(NOT TRAVINEL_STDOLE_DIR)
  message(FATAL_ERROR "Wine's stdole2.tlb was not found: run scripts/setup")
endif()

set(TRAVINEL_IDL_DIR ${PROJECT_SOURCE_DIR}/src/control/com)

# travinel_type_library(TLB [HEADER header]): compiles Dornavel.idl into TLB (and the header of
# its interfaces, when asked for).
function(travinel_type_library tlb)
  cmake_parse_arguments(ARG "" "HEADER" "" ${ARGN})
  set(widl ${TRAVINEL_WIDL} ${travinel_widl_arch} -I ${TRAVINEL_IDL_DIR} -L ${TRAVINEL_STDOLE_DIR})
  set(outputs ${tlb})
  set(header_command "")
  if(ARG_HEADER)
    list(APPEND outputs ${ARG_HEADER})
    set(header_command COMMAND ${widl} -h -o ${ARG_HEADER} ${TRAVINEL_IDL_DIR}/Dornavel.idl)
  endif()
  get_filename_component(tlb_name ${tlb} NAME)
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${widl} -t -o ${tlb} ${TRAVINEL_IDL_DIR}/Dornavel.idl
    ${header_command}
    DEPENDS ${TRAVINEL_IDL_DIR}/Dornavel.idl ${TRAVINEL_IDL_DIR}/OleBase.idl
    COMMENT "Compiling the Dornavel type library (${tlb_name})")
endfunction()
