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
  # The Linux build's device tests, against a sound server of their own that
  # the wrapper starts; the probes beside them are wave devices too.
  marvok_windows_test(audio_device_tests
    SOURCES ${MARVOK_TESTS_DIR}/platform/audio_devices_test.cpp ${MARVOK_TESTS_DIR}/support/wave_voice_probes.cpp
            ${MARVOK_TESTS_DIR}/platform/windows/sound_server_loss_test.cpp
    LIBS marvok_audio marvok_wave_audio winmm
    # Wine keeps what the microphone hears while no buffer is queued and
    # hands it to the next one; Windows drops it, as the sound server does.
    SKIP CaptureDeviceTest.SoundWithNoBufferQueuedIsLost
    WRAPPER ${MARVOK_TESTS_DIR}/platform/windows/with_sound_server.sh)
endif()
