# Drawing with GDI: the screen's canvas over a device context and the windows'
# backing pictures as DIB sections.
add_library(marvok_win32_drawing STATIC
  ${CMAKE_CURRENT_LIST_DIR}/bitmap_dc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/coverage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dib_surface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_canvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_fonts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icon_location.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rotation.cpp)
target_include_directories(marvok_win32_drawing PUBLIC ${MARVOK_SOURCE_DIR})
target_link_libraries(marvok_win32_drawing PUBLIC marvok_screen gdi32 msimg32 shell32)
marvok_warnings(marvok_win32_drawing)

if(MARVOK_BUILD_TESTS)
  # The canvas's own checks, and scenes of the shared screen drawn with GDI
  # against the pictures the Linux build records, with the Linux build's
  # generated bitmaps (build them with the marvok_resources target there).
  marvok_windows_test(gdi_canvas_tests
    SOURCES ${MARVOK_TESTS_DIR}/ui/win32/gdi_canvas_test.cpp ${MARVOK_TESTS_DIR}/ui/win32/gdi_scenes_test.cpp
    LIBS marvok_win32_drawing marvok_pictures)
  target_include_directories(gdi_canvas_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(gdi_canvas_tests PRIVATE
    MARVOK_REFERENCE_PICTURES_DIR="${MARVOK_TESTS_DIR}/screen/pictures"
    MARVOK_LINUX_RESOURCE_DIR="${MARVOK_LINUX_BUILD_DIR}/resources")
endif()
