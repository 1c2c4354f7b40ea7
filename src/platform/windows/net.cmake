# UDP sockets on Winsock 2; the system's socket tables come from the IP helper.
add_library(marvok_net STATIC ${CMAKE_CURRENT_LIST_DIR}/udp_socket.cpp)
target_include_directories(marvok_net PUBLIC ${MARVOK_SOURCE_DIR})
target_link_libraries(marvok_net PUBLIC ws2_32 iphlpapi)
marvok_warnings(marvok_net)

if(MARVOK_BUILD_TESTS)
  set(tests ${MARVOK_TESTS_DIR})
  set(private_network ${MARVOK_TESTS_DIR}/support/private_network_with_relay.sh)
  # The client's relay logic without the network: the Linux tests, unchanged.
  marvok_windows_test(relay_tests
    SOURCES ${tests}/relay/datagrams_test.cpp ${tests}/relay/voice_receiver_test.cpp
            ${tests}/relay/control_worker_test.cpp
    LIBS marvok_relay)
  # Sockets on a private loopback network: their own cases, the client's
  # threads against a scripted relay on the fixed ports, and two clients
  # against a real marvok-relay of the Linux build.
  marvok_windows_test(net_tests
    SOURCES ${tests}/platform/udp_socket_test.cpp ${tests}/support/windows/system_udp_socket.cpp
            ${tests}/relay/relay_sockets_test.cpp
    LIBS marvok_relay
    WRAPPER ${private_network}
    # Wine binds a UDP socket asked for one loopback address to them all, so
    # its datagrams leave from 127.0.0.1 whatever it asked: no other host to
    # send from here. Windows sends from the address asked.
    SKIP RelaySocketsTest.ReceiverTakesSpeechOnlyFromTheRelayAddress)
  marvok_windows_test(relay_link_tests SOURCES ${tests}/relay/relay_link_test.cpp LIBS marvok_relay
    WRAPPER ${private_network})
  set_property(TEST relay_link_tests PROPERTY
    ENVIRONMENT MARVOK_RELAY_EXECUTABLE=${MARVOK_LINUX_BUILD_DIR}/servers/relay/marvok-relay)
  # How many speech datagrams a second the receiver takes in without loss,
  # printed; run by hand under Wine (tests/support/under_wine.sh).
  add_executable(voice_receiver_bench ${tests}/bench/voice_receiver_bench.cpp ${tests}/bench/windows/receive_queue.cpp)
  target_include_directories(voice_receiver_bench PRIVATE ${tests}/bench)
  target_link_libraries(voice_receiver_bench PRIVATE marvok_relay)
  marvok_warnings(voice_receiver_bench)
endif()
