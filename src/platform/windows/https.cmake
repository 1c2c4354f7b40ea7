# HTTPS requests through WinHTTP, verified against the system's store and a
# private deployment's authorities.
add_library(marvok_https STATIC
  ${CMAKE_CURRENT_LIST_DIR}/https_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_certificate_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_handshake.cpp
  ${MARVOK_SOURCE_DIR}/platform/request_path_escaping.cpp)
target_include_directories(marvok_https PUBLIC ${MARVOK_SOURCE_DIR})
target_link_libraries(marvok_https PUBLIC winhttp crypt32 secur32 ws2_32 marvok_system)
marvok_warnings(marvok_https)

# Picture decoding through the Windows Imaging Component: what links
# marvok_web links this after it, as the Linux build does with Qt's decoders.
add_library(marvok_pictures STATIC ${CMAKE_CURRENT_LIST_DIR}/pictures.cpp)
target_include_directories(marvok_pictures PUBLIC ${MARVOK_SOURCE_DIR})
target_link_libraries(marvok_pictures PUBLIC marvok_state windowscodecs ole32 uuid)
marvok_warnings(marvok_pictures)
target_link_libraries(marvok_platform INTERFACE marvok_https marvok_pictures)

if(MARVOK_BUILD_TESTS)
  set(tests ${MARVOK_TESTS_DIR})
  # What the web service's answers hold, read without the network.
  marvok_windows_test(web_records_tests SOURCES ${tests}/web/web_records_test.cpp LIBS marvok_web_records)
  # Decoding hand-made picture files, the same cases as on Linux.
  marvok_windows_test(picture_formats_tests
    SOURCES ${tests}/platform/picture_formats_test.cpp ${tests}/platform/animation_file_test.cpp LIBS marvok_pictures)
  # Requests, the web client and its picture decoding against a real
  # marvok-web whose test authority the program is given as a file, against
  # one signed by an authority nobody trusts and one whose certificate names
  # another host. Then a few of them with the test authority in the host's
  # store instead, as a build without an authority of its own trusts it.
  marvok_windows_test(web_service_tests
    SOURCES ${tests}/web/web_service_test.cpp
    LIBS marvok_web marvok_pictures
    WRAPPER ${tests}/support/with_trusted_web_service.sh)
  add_test(NAME web_service_system_store_tests
    COMMAND ${tests}/support/with_trusted_web_service.sh --host-store $<TARGET_FILE:web_service_tests>
            --gtest_filter=*FetchesDocuments*:*CannotBeTrusted*)
  set_tests_properties(web_service_tests web_service_system_store_tests PROPERTIES
    ENVIRONMENT "MARVOK_WEB_EXECUTABLE=${MARVOK_LINUX_BUILD_DIR}/servers/web/marvok-web;MARVOK_CERTIFICATE_SCRIPT=${CMAKE_SOURCE_DIR}/scripts/make-web-certificate.sh"
    TIMEOUT 120
    # The host's store is one for the machine: one test at a time changes it.
    RESOURCE_LOCK host_certificate_store)
endif()
