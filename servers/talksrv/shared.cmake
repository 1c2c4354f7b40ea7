# The companion's end of the link that needs nothing of the system: requests
# read, reports sent back, the command line. The Linux and the Windows
# talksrv are both built on it; paths are taken from this file's folder.
add_library(marvok_talksrv_link STATIC
  ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/companion_server.cpp)
target_include_directories(marvok_talksrv_link PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marvok_talksrv_link PUBLIC marvok_state marvok_net marvok_command_line)
marvok_warnings(marvok_talksrv_link)
