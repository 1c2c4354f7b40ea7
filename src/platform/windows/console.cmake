# Traces written to the console in its own code page.
add_library(marvok_console STATIC ${CMAKE_CURRENT_LIST_DIR}/console.cpp)
target_include_directories(marvok_console PUBLIC ${MARVOK_SOURCE_DIR})
marvok_warnings(marvok_console)
