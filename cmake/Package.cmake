# Installation (cmake --install) and the Linux package (cpack: a .deb, made from a Release tree by
# scripts/package): the travinel command and the scale simulator with their manual pages, the
# local weight service as a systemd unit with its configuration, the portable core's static
# libraries with their headers and a pkg-config file (travinel.pc) in the multiarch library
# folder, and the README, copyright and changelog.
include(GNUInstallDirs)

# Debian keeps libraries in the multiarch folder (lib/x86_64-linux-gnu).
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(TRAVINEL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(TRAVINEL_LIBDIR ${CMAKE_INSTALL_LIBDIR})
endif()
set(package_files ${CMAKE_CURRENT_LIST_DIR}/package)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/travinel)

install(TARGETS travinel travinel_simulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS trv_platform trv_serial trv_device trv_scale trv_control
  ARCHIVE DESTINATION ${TRAVINEL_LIBDIR})
foreach(layer platform serial device scale control)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/${layer}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/travinel/${layer}
    FILES_MATCHING PATTERN "*.h"
    PATTERN "*Win32*" EXCLUDE
    PATTERN "com" EXCLUDE)
endforeach()
set(TRAVINEL_PC_SYSTEM_LIBS ${CMAKE_DL_LIBS})
list(TRANSFORM TRAVINEL_PC_SYSTEM_LIBS PREPEND "-l")
# The prefix relative to the .pc file, so that the package works wherever it is unpacked.
file(RELATIVE_PATH TRAVINEL_PC_PREFIX /usr/${TRAVINEL_LIBDIR}/pkgconfig /usr)
configure_file(${package_files}/travinel.pc.in ${PROJECT_BINARY_DIR}/travinel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/travinel.pc DESTINATION ${TRAVINEL_LIBDIR}/pkgconfig)

# The service: its unit and its configuration, which the package keeps as a conffile.
install(FILES ${package_files}/travinel-servir.service DESTINATION /lib/systemd/system)
install(FILES ${package_files}/servir.json DESTINATION /etc/travinel)

# Documentation: README, copyright and the changelog (compressed, named as for a native package).
configure_file(${package_files}/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nf -k ${PROJECT_BINARY_DIR}/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/changelog)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${package_files}/copyright
              ${PROJECT_BINARY_DIR}/changelog.gz
  DESTINATION ${doc_dir})

# Manual pages, made from each program's --help by help2man (Debian's).
find_program(TRAVINEL_HELP2MAN help2man)
set(documents ${PROJECT_BINARY_DIR}/changelog.gz)
if(TRAVINEL_HELP2MAN)
  foreach(program travinel travinel_simulator)
    string(REPLACE "_" "-" name ${program})
    set(page ${PROJECT_BINARY_DIR}/man/${name}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${TRAVINEL_HELP2MAN} --no-info --no-discard-stderr
              --version-string=${PROJECT_VERSION}
              "--name=reads the weight of a retail scale on a serial port"
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program})
    list(APPEND documents ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
else()
  message(STATUS "help2man not found (scripts/setup installs it): no manual pages")
endif()
add_custom_target(package_documents ALL DEPENDS ${documents})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME travinel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Dornavel)
set(CPACK_PACKAGE_CONTACT "Dornavel <travinel@dornavel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads the weight of a retail scale on a serial port")
set(CPACK_PACKAGE_DESCRIPTION
  "The travinel command reads and monitors a retail scale (Filizola, Toledo,
Toledo 2180, Urano, LucasTec, Magna, Digitron) on a serial port, and serves
it to web pages on the loopback address (travinel-servir.service);
travinel-simulator stands in for a scale. The static libraries, headers and
pkg-config file let programs do the same.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${package_files}/conffiles ${package_files}/postinst ${package_files}/prerm
  ${package_files}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
