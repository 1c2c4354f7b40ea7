# The layers that need nothing of the system: the same sources build for
# Linux and for Windows. Included by src/CMakeLists.txt and by the Windows
# build, so paths are taken from this file's folder.
set(MARVOK_GENERATED_DIR ${CMAKE_BINARY_DIR}/src/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/state/version.h.in ${MARVOK_GENERATED_DIR}/state/version.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/app/deployment.h.in ${MARVOK_GENERATED_DIR}/app/deployment.h @ONLY)

# Opus decoding of received speech.
add_library(marvok_codec STATIC ${CMAKE_CURRENT_LIST_DIR}/audio/speech_decoder.cpp)
target_include_directories(marvok_codec PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marvok_codec PUBLIC PkgConfig::OPUS)
marvok_warnings(marvok_codec)

# Session state and the small file formats: no Qt, no OS headers.
add_library(marvok_state STATIC
  ${CMAKE_CURRENT_LIST_DIR}/state/countdown_seconds.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state/led_color.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state/led_image_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state/line_rate_limit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state/machine_id.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state/session_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state/utf8.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state/wave_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state/windows_1252.cpp)
target_include_directories(marvok_state PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${MARVOK_GENERATED_DIR})
marvok_warnings(marvok_state)
# A test program links its own countdown length in its place, which works only
# while this file is an object of its own in the library.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/state/countdown_seconds.cpp
  PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)

# Stoppable worker loops and their sleeps.
add_library(marvok_threads STATIC ${CMAKE_CURRENT_LIST_DIR}/platform/worker_threads.cpp)
target_include_directories(marvok_threads PUBLIC ${CMAKE_CURRENT_LIST_DIR})
marvok_warnings(marvok_threads)

# The relay protocol's datagrams, shared by the client and the relay server.
add_library(marvok_relay_protocol STATIC ${CMAKE_CURRENT_LIST_DIR}/relay/datagrams.cpp)
target_include_directories(marvok_relay_protocol PUBLIC ${CMAKE_CURRENT_LIST_DIR})
marvok_warnings(marvok_relay_protocol)

# The audio engine's logic: metering, the jitter queue, the half-duplex worker, Opus playback.
add_library(marvok_audio STATIC
  ${CMAKE_CURRENT_LIST_DIR}/audio/audio_worker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio/input_device_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio/level_meter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio/opus_playback.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio/playback_queue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio/render_ring.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio/render_worker.cpp)
target_include_directories(marvok_audio PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marvok_audio PUBLIC marvok_state marvok_threads marvok_codec marvok_console)
marvok_warnings(marvok_audio)

# Which adapters the accessory may be and how its answer reads: no Qt, so the
# fuzzers can take them alone. The serial ports come from each system's
# platform layer.
add_library(marvok_accessory_protocol STATIC
  ${CMAKE_CURRENT_LIST_DIR}/accessory/adapter_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/accessory/probe_echo.cpp)
target_link_libraries(marvok_accessory_protocol PUBLIC marvok_state marvok_serial)
marvok_warnings(marvok_accessory_protocol)

# The client's side of the relay protocol: session, presence, speech out and
# in, control turns. Its sockets come from marvok_net, which each system
# builds from its own file.
add_library(marvok_relay STATIC
  ${CMAKE_CURRENT_LIST_DIR}/relay/channels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/relay/control_worker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/relay/relay_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/relay/voice_receiver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/relay/voice_sender.cpp)
target_link_libraries(marvok_relay PUBLIC marvok_state marvok_threads marvok_audio marvok_net marvok_relay_protocol)
marvok_warnings(marvok_relay)

# The link with the speech companion: help texts read aloud, its key reports.
add_library(marvok_companion STATIC
  ${CMAKE_CURRENT_LIST_DIR}/companion/companion_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/companion/companion_receiver.cpp)
target_link_libraries(marvok_companion PUBLIC marvok_state marvok_threads marvok_net marvok_platform)
marvok_warnings(marvok_companion)

# What the web service's answers and records hold: read and written without
# Qt or the network, so the fuzzers can take them alone.
add_library(marvok_web_records STATIC
  ${CMAKE_CURRENT_LIST_DIR}/web/identification_reply.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web/member_card.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web/parameters_record.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web/request_paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web/xml_record.cpp)
target_include_directories(marvok_web_records PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marvok_web_records PUBLIC marvok_state)
marvok_warnings(marvok_web_records)

# Requests to the web service into the shared response buffer: all the demo
# member needs of the web client.
add_library(marvok_web_client STATIC
  ${CMAKE_CURRENT_LIST_DIR}/web/response_buffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web/web_client.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web/zeroed_bytes.cpp)
target_link_libraries(marvok_web_client PUBLIC marvok_web_records marvok_https)
marvok_warnings(marvok_web_client)

# What the client does with the answers: the account, picture decoding and the
# picture exchange. Its pictures are decoded by platform/pictures.h, whose
# Linux implementation is built with the windows (marvok_qt_pictures) and
# whose Windows one is marvok_pictures: what links this library links that
# one after it. Apart from the requests, so that a program that only asks (the
# demo member) needs no decoder, even when a unity build makes one object of
# this library.
add_library(marvok_web STATIC
  ${CMAKE_CURRENT_LIST_DIR}/web/account.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web/picture_decoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web/retry_pauses.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web/shared_picture_exchange.cpp)
target_link_libraries(marvok_web PUBLIC marvok_web_client marvok_threads)
marvok_warnings(marvok_web)

# The push-to-talk accessory: its monitor thread and its icon.
add_library(marvok_accessory STATIC
  ${CMAKE_CURRENT_LIST_DIR}/accessory/accessory_icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/accessory/accessory_monitor.cpp)
target_link_libraries(marvok_accessory PUBLIC marvok_accessory_protocol marvok_state marvok_serial marvok_web)
marvok_warnings(marvok_accessory)

# What the member sees and touches, whatever toolkit draws it: the windows'
# layouts, what each panel draws through a canvas, what keys and clicks do,
# the panels' schedule. The front ends draw it (Qt on Linux, GDI on Windows).
add_library(marvok_screen STATIC
  ${CMAKE_CURRENT_LIST_DIR}/screen/channel_panel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/default_input_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/frost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/gif_player.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/group_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/input_device_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/labels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/level_meters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/main_areas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/main_drawings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/main_screen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/network_grid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/network_ring_animation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/panel_schedule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/params_content.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/picture_exchange.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/speaker_panel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/status_lights.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/status_panel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/text_panels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen/window_frame.cpp)
target_link_libraries(marvok_screen PUBLIC marvok_state marvok_audio marvok_relay marvok_web_records)
marvok_warnings(marvok_screen)

# Start-up and shutdown: the one place that brings every subsystem together.
# No front end: a program composes the client with one (Qt on Linux, Win32 on
# Windows). The system's picture decoders, MARVOK_PICTURE_DECODING, come after
# the web library that uses them.
add_library(marvok_app STATIC
  ${CMAKE_CURRENT_LIST_DIR}/app/client.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/device_failure.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/heartbeat_worker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/inactivity_supervisor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/main_thread_call.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/message_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/startup_images.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/supervisor_notice_actions.cpp)
target_include_directories(marvok_app PUBLIC ${MARVOK_GENERATED_DIR})
target_link_libraries(marvok_app PUBLIC marvok_screen marvok_platform marvok_relay marvok_web marvok_accessory
  marvok_companion ${MARVOK_PICTURE_DECODING})
marvok_warnings(marvok_app)
