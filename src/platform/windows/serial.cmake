# Serial ports: the ports class listed through SetupAPI and one COM port
# opened for the accessory.
add_library(marvok_serial STATIC ${CMAKE_CURRENT_LIST_DIR}/serial_port.cpp)
target_include_directories(marvok_serial PUBLIC ${MARVOK_SOURCE_DIR})
target_link_libraries(marvok_serial PUBLIC marvok_state PRIVATE setupapi)
marvok_warnings(marvok_serial)

if(MARVOK_BUILD_TESTS)
  # The accessory's side of a COM port is a pseudo-terminal played by the
  # wrapper, which maps the port into the test's Wine prefix.
  marvok_windows_test(serial_tests
    SOURCES ${MARVOK_TESTS_DIR}/accessory/accessory_protocol_test.cpp
            ${MARVOK_TESTS_DIR}/platform/windows/serial_port_test.cpp
    LIBS marvok_accessory_protocol setupapi
    WRAPPER ${MARVOK_TESTS_DIR}/platform/windows/with_accessory_port.sh)
  # Writes the shared Wine prefix's registry and devices: one such program at a time.
  set_tests_properties(serial_tests PROPERTIES RESOURCE_LOCK wine_prefix_devices)
endif()
