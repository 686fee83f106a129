# The machine naming files live beside the programs that read them: copied
# next to each program in the build tree (so build/src/app/orvan-supervisor
# and build/tools/cli/orvan-cli find them) and installed beside them.
set(ORVAN_NAMING_DIR ${PROJECT_SOURCE_DIR}/data/naming)
file(GLOB ORVAN_NAMING_FILES CONFIGURE_DEPENDS ${ORVAN_NAMING_DIR}/*.ini)

function(orvan_ship_naming target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ORVAN_NAMING_FILES} $<TARGET_FILE_DIR:${target}>
    COMMENT "Naming files beside ${target}"
    VERBATIM)
  install(TARGETS ${target} RUNTIME DESTINATION bin)
  install(FILES ${ORVAN_NAMING_FILES} DESTINATION bin)
endfunction()
