# cmake -DGZIP=... -DINPUT=... -DOUTPUT=... -P GzipFile.cmake
# Compresses the way Debian asks (-9n: no name or time stored), so the same
# input always gives the same bytes.
execute_process(COMMAND ${GZIP} -9n -c ${INPUT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "gzip could not compress ${INPUT}: ${result}")
endif()
