# Manual pages made from each program's own --help and --version (help2man),
# so a page cannot say other than the program; and the shell completions,
# which ask the installed program for its commands and options.
find_program(HELP2MAN help2man)
set(ORVAN_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(ORVAN_MAN_PAGES)

# orvan_man_page(TARGET COMPONENT "what it is" [ENV VAR=VALUE])
function(orvan_man_page target component description)
  if(NOT HELP2MAN OR NOT TARGET ${target})
    return()
  endif()
  set(page ${ORVAN_MAN_DIR}/${target}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVAN_MAN_DIR}
    COMMAND ${CMAKE_COMMAND} -E env ${ARGN} ${HELP2MAN} --no-info --no-discard-stderr
            --section=1 --name=${description} --output=${page} $<TARGET_FILE:${target}>
    COMMAND gzip -9nf ${page}
    DEPENDS ${target}
    COMMENT "Manual page of ${target}"
    VERBATIM)
  add_custom_target(${target}-man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION share/man/man1 COMPONENT ${component})
endfunction()

orvan_man_page(orvan-cli cli "command-line companion for the Velkor Orvan welding source's board")
orvan_man_page(orvan-boardsim cli "simulated controller board of a Velkor Orvan welding source")
orvan_man_page(orvan-supervisor window
               "service and set-up window for the Velkor Orvan welding source's board"
               QT_QPA_PLATFORM=offscreen)

set(ORVAN_COMPLETION_DIR ${PROJECT_SOURCE_DIR}/data/completion)
install(FILES ${ORVAN_COMPLETION_DIR}/orvan-cli DESTINATION share/bash-completion/completions
        COMPONENT cli)
install(FILES ${ORVAN_COMPLETION_DIR}/orvan-cli DESTINATION share/bash-completion/completions
        RENAME orvan-boardsim COMPONENT cli)
install(FILES ${ORVAN_COMPLETION_DIR}/_orvan-cli DESTINATION share/zsh/vendor-completions
        COMPONENT cli)
