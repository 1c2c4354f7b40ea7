# Run by cpack once the files are staged: strip keeps the compiler's .comment
# section, which an installed program does not need.
file(GLOB_RECURSE programs LIST_DIRECTORIES false ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*)
foreach(program IN LISTS programs)
  execute_process(COMMAND ${CPACK_MARVOK_OBJCOPY} --remove-section=.comment ${program} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "objcopy could not drop the .comment section of ${program}")
  endif()
endforeach()
