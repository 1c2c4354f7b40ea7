# The main window, its needle meters and keys, the front end the client is
# composed with, and marvok.exe.
add_library(marvok_win32_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/colour_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/grown_tool_windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_device_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/needle_meter_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_exchange_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tool_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_front_end.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_keys.cpp)
target_include_directories(marvok_win32_ui PUBLIC ${MARVOK_SOURCE_DIR})
target_link_libraries(marvok_win32_ui PUBLIC marvok_screen marvok_pictures marvok_win32_drawing marvok_win32_loop
  user32 gdi32 comdlg32)
marvok_warnings(marvok_win32_ui)

# The icons come from the Linux build's resource generator, which draws every
# picture the client loads.
set(MARVOK_ICON_FILE ${MARVOK_LINUX_BUILD_DIR}/resources/marvok.ico)
set(MARVOK_MANIFEST_FILE ${MARVOK_SOURCE_DIR}/app/marvok.manifest)
enable_language(RC)
configure_file(${MARVOK_SOURCE_DIR}/app/marvok.rc.in ${MARVOK_GENERATED_DIR}/app/marvok.rc @ONLY)
add_executable(marvok WIN32 ${MARVOK_SOURCE_DIR}/app/main_windows.cpp ${MARVOK_GENERATED_DIR}/app/marvok.rc)
target_include_directories(marvok PRIVATE ${MARVOK_SOURCE_DIR})
set_source_files_properties(${MARVOK_GENERATED_DIR}/app/marvok.rc PROPERTIES
  OBJECT_DEPENDS "${MARVOK_ICON_FILE};${MARVOK_MANIFEST_FILE};${CMAKE_CURRENT_LIST_DIR}/about_box.rc;${CMAKE_CURRENT_LIST_DIR}/exchange_menu.rc")
# wWinMain is the entry point of a program of wide command lines.
target_link_options(marvok PRIVATE -municode)
target_link_libraries(marvok PRIVATE marvok_app marvok_win32_ui)
marvok_warnings(marvok)

if(MARVOK_BUILD_TESTS)
  # The client with a count of seconds short enough for its supervisor to be seen.
  add_executable(marvok-short-countdown WIN32 ${MARVOK_SOURCE_DIR}/app/main_windows.cpp
    ${MARVOK_TESTS_DIR}/integration/short_countdown_seconds.cpp ${MARVOK_GENERATED_DIR}/app/marvok.rc)
  target_include_directories(marvok-short-countdown PRIVATE ${MARVOK_SOURCE_DIR})
  target_link_options(marvok-short-countdown PRIVATE -municode)
  target_link_libraries(marvok-short-countdown PRIVATE marvok_app marvok_win32_ui)
  marvok_warnings(marvok-short-countdown)
  # The system's log-off, as the client's main window sees it.
  add_executable(end_session_probe ${MARVOK_TESTS_DIR}/ui/win32/end_session_probe.cpp)
  marvok_warnings(end_session_probe)
  # marvok.exe as a member uses it, against the Linux build's relay, web
  # service and demo member, in a network namespace and a Wine prefix of its own.
  add_test(NAME marvok_exe_on_wine
    COMMAND ${MARVOK_TESTS_DIR}/ui/win32/marvok_exe_on_wine.sh $<TARGET_FILE:marvok>
            $<TARGET_FILE:marvok-short-countdown> ${MARVOK_LINUX_BUILD_DIR})
  set_tests_properties(marvok_exe_on_wine PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endif()

if(MARVOK_BUILD_TESTS)
  marvok_windows_test(win32_ui_tests SOURCES ${MARVOK_TESTS_DIR}/ui/win32/win32_keys_test.cpp
    ${MARVOK_TESTS_DIR}/ui/win32/tool_window_test.cpp LIBS marvok_win32_ui)
endif()
