# Run by CPack on the staged tree: strips programs and libraries as Debian's
# own packages are stripped, without the .comment and .note sections that a
# plain strip leaves.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(path IN LISTS staged)
  if(IS_SYMLINK "${path}")
    continue()
  endif()
  file(READ "${path}" magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "7f454c46")
    continue()
  endif()
  set(options --remove-section=.comment --remove-section=.note)
  if(path MATCHES "\\.so$")
    list(APPEND options --strip-unneeded)
  endif()
  execute_process(COMMAND "${CPACK_KSX4_STRIP}" ${options} "${path}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
