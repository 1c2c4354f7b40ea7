# The Windows build as far as it goes today: the layers that need nothing of
# the system, and their tests, which ctest runs under Wine. The platform
# layer on Win32 and the Win32 front end come next.

# libopus built for Windows by scripts/build-windows-libraries.sh, under the
# name of the Linux build's pkg-config target so the shared layers link the same.
find_path(MARVOK_OPUS_INCLUDE_DIR opus/opus.h REQUIRED)
find_library(MARVOK_OPUS_LIBRARY opus REQUIRED)
add_library(PkgConfig::OPUS INTERFACE IMPORTED)
target_include_directories(PkgConfig::OPUS INTERFACE ${MARVOK_OPUS_INCLUDE_DIR})
# Built with fortified string calls, which mingw-w64 takes from libssp.
target_link_libraries(PkgConfig::OPUS INTERFACE ${MARVOK_OPUS_LIBRARY} ssp)

include(${CMAKE_SOURCE_DIR}/src/shared_libraries.cmake)

if(MARVOK_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  # One ctest entry per program: every start of Wine costs about a second.
  function(marvok_windows_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;SKIP" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
    # The generated images and sounds are made by a Qt program, on Linux only so far.
    target_compile_definitions(${name} PRIVATE MARVOK_RESOURCE_DIR="resources-are-built-on-linux")
    marvok_warnings(${name})
    set(filter "")
    if(ARG_SKIP)
      list(JOIN ARG_SKIP ":" skipped)
      set(filter --gtest_filter=-${skipped})
    endif()
    add_test(NAME ${name} COMMAND ${name} ${filter})
    set_tests_properties(${name} PROPERTIES TIMEOUT 120)
  endfunction()

  set(tests ${CMAKE_SOURCE_DIR}/tests)
  marvok_windows_test(state_tests
    SOURCES ${tests}/state/session_state_test.cpp ${tests}/state/machine_id_test.cpp
            ${tests}/state/led_image_file_test.cpp ${tests}/state/wave_file_test.cpp
            ${tests}/state/windows_1252_test.cpp ${tests}/state/utf8_test.cpp ${tests}/state/line_rate_limit_test.cpp
            ${tests}/platform/worker_threads_test.cpp
    LIBS marvok_state marvok_threads
    SKIP LedImageFileTest.ShippedFileHoldsTheSixLights WaveFileTest.ShippedChimeIsPlayable)
  marvok_windows_test(codec_tests SOURCES ${tests}/audio/speech_decoder_test.cpp LIBS marvok_codec)
endif()
