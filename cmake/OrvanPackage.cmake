# What an installed copy needs besides the programs (installed by their own
# folders): desktop entry, icon, the manual, and the Debian packages around
# it all. `cpack -G DEB` in the build folder makes two packages:
#   orvan-cli         orvan-cli and orvan-boardsim, their manual pages and
#                     completions, the naming files: no Qt, for a headless box;
#   orvan-supervisor  the window (depends on orvan-cli for the naming files).
# scripts/package.sh builds them, unpacks them into a scratch root, starts
# the programs from there and runs lintian.
# Fortified calls in every piece linked into a shipped program: the core
# libraries too, not only the programs' own sources.
orvan_harden(orvan-cli orvan_cli orvan-boardsim orvan_boardsim orvan_link orvan_config
             orvan_commands orvan_features)
if(ORVAN_GUI)
  orvan_harden(orvan-supervisor orvan_app orvan_pages orvan_frames)
endif()

set(ORVAN_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/data/desktop)
set(ORVAN_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/data/debian)
if(ORVAN_GUI)
  install(FILES ${ORVAN_DESKTOP_DIR}/orvan-supervisor.desktop DESTINATION share/applications
          COMPONENT window)
  install(FILES ${ORVAN_DESKTOP_DIR}/orvan-supervisor.svg
          DESTINATION share/icons/hicolor/scalable/apps COMPONENT window)
endif()
# The window's Help names this copy; the companion has its manual pages.
if(ORVAN_GUI)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/MANUAL.md DESTINATION share/doc/orvan-supervisor
          COMPONENT window)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/manual DESTINATION share/doc/orvan-supervisor
          COMPONENT window FILES_MATCHING PATTERN "*.png")
endif()

# Each package's copyright and changelog, as Debian policy places them.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/debian
  COMMAND gzip -9n -c ${ORVAN_DEBIAN_DIR}/changelog > ${PROJECT_BINARY_DIR}/debian/changelog.gz
  DEPENDS ${ORVAN_DEBIAN_DIR}/changelog
  VERBATIM)
add_custom_target(orvan-debian-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
set(ORVAN_PACKAGES cli)
if(ORVAN_GUI)
  list(APPEND ORVAN_PACKAGES window)
endif()
foreach(component ${ORVAN_PACKAGES})
  if(component STREQUAL "cli")
    set(doc share/doc/orvan-cli)
  else()
    set(doc share/doc/orvan-supervisor)
  endif()
  install(FILES ${ORVAN_DEBIAN_DIR}/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
          DESTINATION ${doc} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME orvan-supervisor)
set(CPACK_PACKAGE_VENDOR "Orvan SuperVisor developers")
set(ORVAN_MAINTAINER "Orvan SuperVisor developers <supervisor@orvan.invalid>"
    CACHE STRING "The Maintainer field of the Debian packages")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORVAN_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${ORVAN_PACKAGES})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
set(CPACK_DEBIAN_CLI_PACKAGE_NAME orvan-cli)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME orvan-supervisor)
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "orvan-cli (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "command-line service tool for a diode-laser welding source's board
orvan-cli services the controller board of a Velkor Orvan diode-laser
welding source over a serial line or a serial device server: it reads and
writes the configuration, the clock, the counters and the EEPROM, runs the
power diagnosis and tunings, reads the logs, and writes a service report.
Every reading command speaks JSON for scripts.

orvan-boardsim simulates the board on a pseudo-terminal or a TCP port, with
the faults a line shows, to try the tools without a welder.

This package needs no graphical toolkit.")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION
    "service and set-up window for a diode-laser welding source's board
orvan-supervisor is the technician's window onto the controller board of a
Velkor Orvan diode-laser welding source: configuration pages, live status,
power diagnosis and tuning, logs, EEPROM tools and machine pages, on a
serial port or a serial device server.")
# The shared libraries the programs link (Qt, libjpeg, libudev, the C++
# runtime) become the packages' dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_WINDOW_PACKAGE_CONTROL_EXTRA ${ORVAN_DEBIAN_DIR}/postinst)
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA ${ORVAN_DEBIAN_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Only what `cmake --install` lays out for a user, not the test libraries.
set(CPACK_STRIP_FILES ON)
include(CPack)

if(NOT ORVAN_SANITIZE AND NOT ORVAN_FUZZ)
  add_test(NAME package.deb COMMAND ${PROJECT_SOURCE_DIR}/scripts/package.sh ${PROJECT_BINARY_DIR})
  set_tests_properties(package.deb PROPERTIES LABELS package TIMEOUT 600 RUN_SERIAL TRUE)
endif()
