# Warnings for our own targets only; third-party headers come in as system includes.
function(marvok_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual)
  # A unity build compiles sources as if included by one file, where a type
  # from a source's anonymous namespace would be a header's fault; it is not.
  if(CMAKE_UNITY_BUILD)
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
  endif()
  if(MARVOK_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
