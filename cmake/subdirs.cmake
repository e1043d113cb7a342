# ksx4_add_existing(dir...): add each sub-folder that has a CMakeLists.txt.
function(ksx4_add_existing)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
