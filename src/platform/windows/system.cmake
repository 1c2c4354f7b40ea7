# The system's services: the volume serial, the single-instance mutex and
# processes.
add_library(marvok_system STATIC
  ${CMAKE_CURRENT_LIST_DIR}/instance_lock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/processes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/volume_serial.cpp)
target_include_directories(marvok_system PUBLIC ${MARVOK_SOURCE_DIR})
target_link_libraries(marvok_system PUBLIC marvok_state)
marvok_warnings(marvok_system)
target_link_libraries(marvok_platform INTERFACE marvok_system)

if(MARVOK_BUILD_TESTS)
  # A second process for the tests: one that takes a lock and ends, or a
  # program started detached that waits to be told to end.
  add_executable(system_probe ${MARVOK_TESTS_DIR}/platform/windows/system_probe.cpp)
  target_link_libraries(system_probe PRIVATE marvok_system)
  marvok_warnings(system_probe)
  marvok_windows_test(system_tests
    SOURCES ${MARVOK_TESTS_DIR}/platform/instance_lock_test.cpp
            ${MARVOK_TESTS_DIR}/support/windows/private_lock_place.cpp
            ${MARVOK_TESTS_DIR}/platform/windows/instance_lock_test.cpp
            ${MARVOK_TESTS_DIR}/platform/windows/processes_test.cpp
            ${MARVOK_TESTS_DIR}/platform/volume_serial_test.cpp
            ${MARVOK_TESTS_DIR}/platform/windows/volume_serial_test.cpp
    LIBS marvok_system)
  target_compile_definitions(system_tests PRIVATE MARVOK_SYSTEM_PROBE_W=L"$<TARGET_FILE_NAME:system_probe>")
  add_dependencies(system_tests system_probe)
endif()
