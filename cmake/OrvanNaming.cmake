# The machine naming files: copied next to each program in the build tree (so
# build/src/app/orvan-supervisor finds them beside itself) and installed once
# under share/orvan-supervisor/naming, where an installed program looks when
# there are none beside it (app/InstallLayout.h).
set(ORVAN_NAMING_DIR ${PROJECT_SOURCE_DIR}/data/naming)
file(GLOB ORVAN_NAMING_FILES CONFIGURE_DEPENDS ${ORVAN_NAMING_DIR}/*.ini)
set(ORVAN_DATA_DESTINATION share/orvan-supervisor)

# Sources that include "link/Version.h" (generated into the build folder).
# Call it from the folder whose CMakeLists.txt makes their target.
function(orvan_uses_version)
  set_property(SOURCE ${ARGN} APPEND PROPERTY INCLUDE_DIRECTORIES ${PROJECT_BINARY_DIR}/generated)
endfunction()

function(orvan_ship_naming target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ORVAN_NAMING_FILES} $<TARGET_FILE_DIR:${target}>
    COMMENT "Naming files beside ${target}"
    VERBATIM)
  # The window goes in its own package; the companion and the simulator in
  # one without Qt (cmake/OrvanPackage.cmake).
  if(target STREQUAL "orvan-supervisor")
    install(TARGETS ${target} RUNTIME DESTINATION bin COMPONENT window)
  else()
    install(TARGETS ${target} RUNTIME DESTINATION bin COMPONENT cli)
  endif()
endfunction()

install(FILES ${ORVAN_NAMING_FILES} DESTINATION ${ORVAN_DATA_DESTINATION}/naming COMPONENT cli)
