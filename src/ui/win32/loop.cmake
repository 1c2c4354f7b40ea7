# The Win32 front end's event loop and dialogs: timers and posted calls on a
# message-only window, boxes, the notice window, the about box, the file dialog.
enable_language(RC)

add_library(marvok_win32_loop STATIC
  ${CMAKE_CURRENT_LIST_DIR}/about_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_requests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loop_timers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_pump.cpp
  ${CMAKE_CURRENT_LIST_DIR}/notice_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_file_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/posted_calls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/termination_requests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_dialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_event_loop.cpp)
target_include_directories(marvok_win32_loop PUBLIC ${MARVOK_SOURCE_DIR})
# marvok_state brings the generated version header for the about box.
target_link_libraries(marvok_win32_loop PUBLIC marvok_screen marvok_state user32 shell32 ole32 uuid winmm)
marvok_warnings(marvok_win32_loop)

if(MARVOK_BUILD_TESTS)
  # Windows on the virtual display; the about box's dialog compiled in.
  marvok_windows_test(win32_loop_tests
    SOURCES ${MARVOK_TESTS_DIR}/ui/win32/win32_event_loop_test.cpp
            ${MARVOK_TESTS_DIR}/ui/win32/win32_dialogs_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/about_box.rc
    LIBS marvok_win32_loop)
endif()
