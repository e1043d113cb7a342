# Manual pages, compressed as Debian wants them: ksx4ctl(1) and ksx4sim(1)
# made by help2man from the programs' own --help and --version with a
# hand-written part each (man/*.h2m), ksx4_assistant(1) by hand.
find_program(KSX4_HELP2MAN help2man)
if(NOT KSX4_HELP2MAN)
  if(KSX4_REQUIRE_MAN_PAGES)
    message(FATAL_ERROR "help2man is missing: run scripts/install-deps.sh")
  endif()
  message(STATUS "help2man not found: no manual pages for ksx4ctl and ksx4sim")
endif()

set(man_dir ${CMAKE_CURRENT_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${man_dir})
set(man_pages)

# ksx4_help2man(tool "what it is"): man/<tool>.1.gz from the built program,
# whose help help_layout.sh lays out for help2man (help2man runs a program
# without arguments of its own, hence a small wrapper per tool).
function(ksx4_help2man tool what)
  set(include ${CMAKE_CURRENT_SOURCE_DIR}/man/${tool}.h2m)
  set(layout ${CMAKE_CURRENT_SOURCE_DIR}/man/help_layout.sh)
  set(wrapper ${man_dir}/${tool})
  set(script "#!/bin/sh\nexec '${layout}' '$<TARGET_FILE:${tool}>' ")
  string(APPEND script [["$@"]] "\n")
  file(GENERATE OUTPUT ${wrapper} CONTENT "${script}"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE)
  add_custom_command(OUTPUT ${man_dir}/${tool}.1.gz
    COMMAND ${KSX4_HELP2MAN} --no-info --section=1 --source=ksx4-assistant
            --name=${what} --include=${include} --output=${man_dir}/${tool}.1 ${wrapper}
    COMMAND gzip -9nf ${man_dir}/${tool}.1
    DEPENDS ${tool} ${include} ${layout} ${wrapper}
    COMMENT "Manual page ${tool}(1)"
    VERBATIM)
  set(man_pages ${man_pages} ${man_dir}/${tool}.1.gz PARENT_SCOPE)
endfunction()

if(KSX4_HELP2MAN)
  ksx4_help2man(ksx4ctl "console front end of the KSX-4 Assistant")
  ksx4_help2man(ksx4sim "simulated KSX-4 testers for the KSX-4 Assistant")
endif()

configure_file(man/ksx4_assistant.1.in ${man_dir}/ksx4_assistant.1 @ONLY)
add_custom_command(OUTPUT ${man_dir}/ksx4_assistant.1.gz
  COMMAND gzip -9nkf ${man_dir}/ksx4_assistant.1
  DEPENDS ${man_dir}/ksx4_assistant.1
  VERBATIM)
list(APPEND man_pages ${man_dir}/ksx4_assistant.1.gz)

add_custom_target(ksx4_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
