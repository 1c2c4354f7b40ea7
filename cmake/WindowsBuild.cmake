# The Windows build: the shared layers, the platform layer on Win32 (one
# file per concept under src/platform/windows) and their tests, which ctest
# runs under Wine, the Win32 front end with marvok.exe, and the speech
# companion talksrv.exe.

# libopus built for Windows by scripts/build-windows-libraries.sh, under the
# name of the Linux build's pkg-config target so the shared layers link the same.
find_path(MARVOK_OPUS_INCLUDE_DIR opus/opus.h REQUIRED)
find_library(MARVOK_OPUS_LIBRARY opus REQUIRED)
add_library(PkgConfig::OPUS INTERFACE IMPORTED)
target_include_directories(PkgConfig::OPUS INTERFACE ${MARVOK_OPUS_INCLUDE_DIR})
# Built with fortified string calls, which mingw-w64 takes from libssp.
target_link_libraries(PkgConfig::OPUS INTERFACE ${MARVOK_OPUS_LIBRARY} ssp)

set(MARVOK_SOURCE_DIR ${CMAKE_SOURCE_DIR}/src)
set(MARVOK_TESTS_DIR ${CMAKE_SOURCE_DIR}/tests)
# Windows headers without min/max macros, with their wide-character calls,
# for Windows 10 and later.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0A00)

# The Linux build of the servers the platform tests talk to (marvok-relay,
# marvok-web): the Windows build has no servers of its own.
set(MARVOK_LINUX_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/default CACHE PATH "Linux build holding marvok-relay and marvok-web")

if(MARVOK_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  # One ctest entry per program: every start of Wine costs about a second.
  # WRAPPER runs the program through a script of ours (which starts the
  # servers it needs) instead of straight under Wine.
  function(marvok_windows_test name)
    cmake_parse_arguments(ARG "" "WRAPPER" "SOURCES;LIBS;SKIP" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${MARVOK_TESTS_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
    # The generated images and sounds are made by a Qt program, on Linux only so far.
    target_compile_definitions(${name} PRIVATE MARVOK_RESOURCE_DIR="resources-are-built-on-linux")
    marvok_warnings(${name})
    set(filter "")
    if(ARG_SKIP)
      list(JOIN ARG_SKIP ":" skipped)
      set(filter --gtest_filter=-${skipped})
    endif()
    if(ARG_WRAPPER)
      add_test(NAME ${name} COMMAND ${ARG_WRAPPER} $<TARGET_FILE:${name}> ${filter})
    else()
      add_test(NAME ${name} COMMAND ${name} ${filter})
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT 120)
  endfunction()
endif()

# A deployment's authority ships beside marvok.exe, where the client reads it,
# in the build folder as in the installed one. The bundled web service's is
# made by the build when it has not been made yet.
if(MARVOK_WEB_CA_FILE)
  set(MARVOK_CLIENT_WEB_CA_FILE marvok-web-ca.pem)
  set(MARVOK_SHIPPED_WEB_CA ${CMAKE_BINARY_DIR}/${MARVOK_CLIENT_WEB_CA_FILE})
  set(bundled_web_dir ${CMAKE_BINARY_DIR}/web-service)
  if(MARVOK_WEB_CA_FILE STREQUAL "${bundled_web_dir}/ca.pem")
    add_custom_command(OUTPUT ${MARVOK_WEB_CA_FILE}
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/make-web-certificate.sh ${bundled_web_dir}
      COMMENT "Making the bundled web service's authority and certificate in ${bundled_web_dir}"
      VERBATIM)
  elseif(NOT EXISTS "${MARVOK_WEB_CA_FILE}")
    message(FATAL_ERROR "MARVOK_WEB_CA_FILE names ${MARVOK_WEB_CA_FILE}, which does not exist")
  endif()
  add_custom_command(OUTPUT ${MARVOK_SHIPPED_WEB_CA}
    COMMAND ${CMAKE_COMMAND} -E copy ${MARVOK_WEB_CA_FILE} ${MARVOK_SHIPPED_WEB_CA}
    DEPENDS ${MARVOK_WEB_CA_FILE}
    VERBATIM)
  add_custom_target(marvok_web_ca ALL DEPENDS ${MARVOK_SHIPPED_WEB_CA})
endif()

# The client's pictures are decoded by the platform layer's WIC decoding.
set(MARVOK_PICTURE_DECODING marvok_pictures)
include(${MARVOK_SOURCE_DIR}/shared_libraries.cmake)
# The platform library the shared layers link under the Linux build's name;
# each concept's library joins it.
add_library(marvok_platform INTERFACE)
# Each concept of the platform layer builds its library and its tests.
foreach(concept IN ITEMS console net https audio audio_endpoints serial system)
  include(${MARVOK_SOURCE_DIR}/platform/windows/${concept}.cmake)
endforeach()

if(MARVOK_BUILD_TESTS)
  set(tests ${MARVOK_TESTS_DIR})
  marvok_windows_test(state_tests
    SOURCES ${tests}/state/session_state_test.cpp ${tests}/state/machine_id_test.cpp
            ${tests}/state/led_image_file_test.cpp ${tests}/state/wave_file_test.cpp
            ${tests}/state/windows_1252_test.cpp ${tests}/state/utf8_test.cpp ${tests}/state/line_rate_limit_test.cpp
            ${tests}/platform/worker_threads_test.cpp
    LIBS marvok_state marvok_threads
    SKIP LedImageFileTest.ShippedFileHoldsTheSixLights WaveFileTest.ShippedChimeIsPlayable)
  marvok_windows_test(codec_tests SOURCES ${tests}/audio/speech_decoder_test.cpp LIBS marvok_codec)
  marvok_windows_test(audio_logic_tests
    SOURCES ${tests}/audio/playback_queue_test.cpp ${tests}/audio/opus_playback_test.cpp
            ${tests}/audio/input_device_table_test.cpp ${tests}/audio/audio_worker_test.cpp
    LIBS marvok_audio)
  # The screen layer's decisions, read from the same recording canvas as on Linux.
  marvok_windows_test(screen_tests
    SOURCES ${tests}/screen/main_screen_test.cpp ${tests}/screen/panels_test.cpp
            ${tests}/screen/network_ring_animation_test.cpp ${tests}/screen/tool_windows_test.cpp
    LIBS marvok_screen)
  target_include_directories(screen_tests PRIVATE ${CMAKE_SOURCE_DIR})
endif()

# The Win32 front end: drawing with GDI, the event loop and dialogs, the windows.
foreach(part IN ITEMS drawing loop windows)
  include(${MARVOK_SOURCE_DIR}/ui/win32/${part}.cmake)
endforeach()

# The speech companion, beside marvok.exe; its command line is read as the
# servers' is, with their system-free options library.
add_subdirectory(${CMAKE_SOURCE_DIR}/servers/common ${CMAKE_BINARY_DIR}/servers/common)
include(${CMAKE_SOURCE_DIR}/servers/talksrv/windows.cmake)

# The installer, once every program it may hold is known.
include(${CMAKE_SOURCE_DIR}/packaging/windows/installer.cmake)
