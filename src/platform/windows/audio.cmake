# Voice capture and output on the wave devices, the float render stream on
# the shared-mode endpoint, and the start-up sound.
add_library(marvok_wave_audio STATIC
  ${CMAKE_CURRENT_LIST_DIR}/wave_capture_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wave_output_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/render_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/startup_sound.cpp)
target_include_directories(marvok_wave_audio PUBLIC ${MARVOK_SOURCE_DIR})
target_link_libraries(marvok_wave_audio PUBLIC marvok_state PRIVATE winmm ole32)
marvok_warnings(marvok_wave_audio)
target_link_libraries(marvok_platform INTERFACE marvok_wave_audio)

if(MARVOK_BUILD_TESTS)
  # Played and recorded through a sound server of the test's own, started
  # by the wrapper, which also feeds the microphone a tone.
  marvok_windows_test(wave_audio_tests
    SOURCES ${MARVOK_TESTS_DIR}/platform/windows/wave_audio_test.cpp
    LIBS marvok_wave_audio winmm
    WRAPPER ${MARVOK_TESTS_DIR}/platform/windows/with_sound_server.sh)
  set_tests_properties(wave_audio_tests PROPERTIES RESOURCE_LOCK sound_server)
endif()
