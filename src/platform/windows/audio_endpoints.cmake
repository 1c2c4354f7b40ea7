# Audio endpoint names and icons, the input devices, and master volume, through
# the endpoint service (COM) and wave capture's device list.
add_library(marvok_audio_endpoints STATIC
  ${CMAKE_CURRENT_LIST_DIR}/audio_endpoints.cpp
  ${CMAKE_CURRENT_LIST_DIR}/master_volume.cpp)
target_include_directories(marvok_audio_endpoints PUBLIC ${MARVOK_SOURCE_DIR})
target_link_libraries(marvok_audio_endpoints PUBLIC marvok_console marvok_state PRIVATE ole32 winmm uuid)
marvok_warnings(marvok_audio_endpoints)
target_link_libraries(marvok_platform INTERFACE marvok_audio_endpoints)

if(MARVOK_BUILD_TESTS)
  # Against a sound server of the test's own, with null devices, then against none.
  marvok_windows_test(audio_endpoint_tests
    SOURCES ${MARVOK_TESTS_DIR}/platform/windows/audio_endpoints_test.cpp
            ${MARVOK_TESTS_DIR}/platform/windows/master_volume_test.cpp
    LIBS marvok_audio_endpoints marvok_audio ole32 winmm advapi32
    WRAPPER ${MARVOK_TESTS_DIR}/platform/windows/with_sound_server.sh)
  # Writes the shared Wine prefix's registry and devices: one such program at a time.
  set_tests_properties(audio_endpoint_tests PROPERTIES RESOURCE_LOCK wine_prefix_devices)
endif()
