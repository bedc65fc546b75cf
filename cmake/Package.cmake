# Installation (cmake --install) and the Linux package (cpack: a .deb): the travinel command and
# the scale simulator, the portable core's static libraries with their headers and a pkg-config
# file (travinel.pc), and the README.
include(GNUInstallDirs)

install(TARGETS travinel travinel_simulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS trv_platform trv_serial trv_device trv_scale trv_control
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(layer platform serial device scale control)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/${layer}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/travinel/${layer}
    FILES_MATCHING PATTERN "*.h"
    PATTERN "*Win32*" EXCLUDE
    PATTERN "com" EXCLUDE)
endforeach()
set(TRAVINEL_PC_SYSTEM_LIBS ${CMAKE_DL_LIBS})
list(TRANSFORM TRAVINEL_PC_SYSTEM_LIBS PREPEND "-l")
configure_file(${CMAKE_CURRENT_LIST_DIR}/package/travinel.pc.in
  ${PROJECT_BINARY_DIR}/travinel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/travinel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/travinel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME travinel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Dornavel)
set(CPACK_PACKAGE_CONTACT "Dornavel <travinel@dornavel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads the weight of a retail scale on a serial port")
set(CPACK_PACKAGE_DESCRIPTION
  "The travinel command reads and monitors a retail scale (Filizola, Toledo, Toledo 2180,\n Urano, LucasTec, Magna, Digitron) on a serial port, and travinel-simulator stands in for\n one; the static libraries, headers and pkg-config file let programs do the same.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
