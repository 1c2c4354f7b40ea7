# talksrv.exe: the speech companion on Windows. The link's system-free end is
# the Linux one's; speech through the system's engine (SAPI), the key through
# a low-level keyboard hook, the window with Win32.
include(${CMAKE_CURRENT_LIST_DIR}/shared.cmake)

set(talksrv_windows ${CMAKE_CURRENT_LIST_DIR}/windows)
add_library(marvok_talksrv_windows STATIC
  ${talksrv_windows}/held_key.cpp
  ${talksrv_windows}/key_names.cpp
  ${talksrv_windows}/keyboard_hook.cpp
  ${talksrv_windows}/messages.cpp
  ${talksrv_windows}/sapi_speaker.cpp
  ${talksrv_windows}/talk_window.cpp)
target_include_directories(marvok_talksrv_windows PUBLIC ${talksrv_windows} ${MARVOK_SOURCE_DIR})
# The engine's class and interface identifiers come with its headers
# (__uuidof): no import library of its own.
target_link_libraries(marvok_talksrv_windows PUBLIC marvok_talksrv_link user32 gdi32 comctl32 ole32)
marvok_warnings(marvok_talksrv_windows)

add_executable(talksrv WIN32 ${talksrv_windows}/main.cpp)
# wWinMain is the entry point of a program of wide command lines.
target_link_options(talksrv PRIVATE -municode)
target_link_libraries(talksrv PRIVATE marvok_talksrv_windows shell32)
marvok_warnings(talksrv)
# The client starts the companion from its own folder: beside marvok.exe.
set_target_properties(talksrv PROPERTIES RUNTIME_OUTPUT_DIRECTORY $<TARGET_FILE_DIR:marvok>)

if(MARVOK_BUILD_TESTS)
  set(tests ${MARVOK_TESTS_DIR}/talksrv)
  # The link's shared cases on Winsock, and the Windows side's own parts.
  marvok_windows_test(talksrv_tests
    SOURCES ${tests}/companion_server_test.cpp ${tests}/command_line_test.cpp ${tests}/windows/held_key_test.cpp
            ${tests}/windows/key_names_test.cpp ${tests}/windows/sapi_speaker_test.cpp
    LIBS marvok_talksrv_windows)
  # talksrv.exe as the client and a member use it, on the virtual display,
  # with a second Wine window that must not see the push-to-talk key.
  add_executable(window_probe ${tests}/windows/window_probe.cpp)
  marvok_warnings(window_probe)
  add_test(NAME talksrv_exe_on_wine
    COMMAND ${tests}/talksrv_exe_on_wine.sh $<TARGET_FILE:talksrv> $<TARGET_FILE:window_probe>)
  set_tests_properties(talksrv_exe_on_wine PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endif()
