# marvok-setup-<version>.exe, made with NSIS from marvok-setup.nsi.in: marvok.exe,
# the companion talksrv.exe, the pictures and sounds the
# client loads from its folder, and the deployment's authority when it has one.
find_program(MARVOK_MAKENSIS makensis REQUIRED)
set(MARVOK_SETUP_FILE ${CMAKE_BINARY_DIR}/marvok-setup-${PROJECT_VERSION}.exe)

include(${CMAKE_SOURCE_DIR}/resources/generator/resource_files.cmake)
# The programs go without their debugging information, a copy of each stripped.
set(stage ${CMAKE_BINARY_DIR}/packaging/stage)
set(installed ${stage}/marvok.exe ${stage}/talksrv.exe)
add_custom_command(OUTPUT ${installed}
  COMMAND ${CMAKE_STRIP} --strip-debug -o ${stage}/marvok.exe $<TARGET_FILE:marvok>
  COMMAND ${CMAKE_STRIP} --strip-debug -o ${stage}/talksrv.exe $<TARGET_FILE:talksrv>
  DEPENDS marvok talksrv
  VERBATIM)
foreach(file IN LISTS MARVOK_CLIENT_RESOURCE_FILES)
  list(APPEND installed ${MARVOK_LINUX_BUILD_DIR}/resources/${file})
endforeach()
if(MARVOK_SHIPPED_WEB_CA)
  list(APPEND installed ${MARVOK_SHIPPED_WEB_CA})
endif()
set(removed marvok.exe talksrv.exe ${MARVOK_CLIENT_RESOURCE_FILES} marvok-web-ca.pem)

set(MARVOK_SETUP_INSTALL "")
foreach(file IN LISTS installed)
  string(APPEND MARVOK_SETUP_INSTALL "$<$<BOOL:${file}>:  File \"${file}\"\n>")
endforeach()
set(MARVOK_SETUP_REMOVE "")
foreach(file IN LISTS removed)
  string(APPEND MARVOK_SETUP_REMOVE "  Delete \"$INSTDIR\\${file}\"\n")
endforeach()
# The file names are known once the targets are: configured, then generated.
configure_file(${CMAKE_CURRENT_LIST_DIR}/marvok-setup.nsi.in ${CMAKE_BINARY_DIR}/packaging/marvok-setup.nsi.configured
  @ONLY)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/packaging/marvok-setup.nsi
  INPUT ${CMAKE_BINARY_DIR}/packaging/marvok-setup.nsi.configured)

add_custom_command(OUTPUT ${MARVOK_SETUP_FILE}
  COMMAND ${MARVOK_MAKENSIS} -V2 -WX -NOCD ${CMAKE_BINARY_DIR}/packaging/marvok-setup.nsi
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/marvok-setup.nsi ${installed} ${MARVOK_ICON_FILE}
  COMMENT "Making the installer ${MARVOK_SETUP_FILE}"
  VERBATIM)
add_custom_target(marvok_setup ALL DEPENDS ${MARVOK_SETUP_FILE})

# The installer under Wine, against the relay and a web service under the
# build's own authority, whose certificate and key it has.
if(MARVOK_BUILD_TESTS AND MARVOK_WEB_CA_FILE STREQUAL "${CMAKE_BINARY_DIR}/web-service/ca.pem")
  add_test(NAME marvok_setup_on_wine
    COMMAND ${CMAKE_SOURCE_DIR}/tests/packaging/installer_on_wine.sh ${MARVOK_SETUP_FILE}
            ${CMAKE_BINARY_DIR}/packaging/marvok-setup.nsi ${CMAKE_BINARY_DIR}/web-service ${MARVOK_LINUX_BUILD_DIR})
  set_tests_properties(marvok_setup_on_wine PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endif()

# marvok.exe reads the authority beside it, in the build folder too.
if(TARGET marvok_web_ca)
  add_dependencies(marvok marvok_web_ca)
endif()
