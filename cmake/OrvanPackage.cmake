# What an installed copy needs besides the programs (installed by their own
# folders): desktop entry, icon, the manual, and the Debian package around
# it all. `cpack -G DEB` in the build folder makes orvan-supervisor_*.deb;
# scripts/package.sh builds it, unpacks it into a scratch root and starts it.
set(ORVAN_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/data/desktop)
if(ORVAN_GUI)
  install(FILES ${ORVAN_DESKTOP_DIR}/orvan-supervisor.desktop DESTINATION share/applications)
  install(FILES ${ORVAN_DESKTOP_DIR}/orvan-supervisor.svg
          DESTINATION share/icons/hicolor/scalable/apps)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/docs/MANUAL.md DESTINATION share/doc/orvan-supervisor)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/manual DESTINATION share/doc/orvan-supervisor
        FILES_MATCHING PATTERN "*.png")

set(CPACK_PACKAGE_NAME orvan-supervisor)
set(CPACK_PACKAGE_VENDOR "Orvan service")
set(CPACK_PACKAGE_CONTACT "Orvan service <service@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Service and set-up tool for the laser welding source's controller board")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The shared libraries the programs link (Qt, libjpeg, the C++ runtime)
# become the package's dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/data/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Only what `cmake --install` lays out for a user, not the test libraries.
set(CPACK_STRIP_FILES ON)
include(CPack)

if(NOT ORVAN_SANITIZE AND NOT ORVAN_FUZZ)
  add_test(NAME package.deb COMMAND ${PROJECT_SOURCE_DIR}/scripts/package.sh ${PROJECT_BINARY_DIR})
  set_tests_properties(package.deb PROPERTIES LABELS package TIMEOUT 600 RUN_SERIAL TRUE)
endif()
