# The Debian package `marvok`: every program this tree installs, the resources,
# the desktop entry and icons, the documents Debian asks for, the servers'
# systemd units, and maintainer scripts that make the web service's
# certificate on the machine.
# scripts/make-package.sh configures a tree for it and runs cpack.

set(MARVOK_PACKAGE_MAINTAINER "Marvok developers <developers@marvok.example>")
# The packaged client and demo member trust the authority the postinst makes
# here; the web service keeps its members in the state folder.
set(MARVOK_PACKAGE_CONFIG_DIR /etc/marvok)
set(MARVOK_PACKAGE_WEB_DIR ${MARVOK_PACKAGE_CONFIG_DIR}/web)
set(MARVOK_PACKAGE_STATE_DIR /var/lib/marvok)
set(MARVOK_PACKAGE_SCRIPT ${CMAKE_INSTALL_FULL_DATADIR}/marvok/make-web-certificate.sh)
set(MARVOK_PACKAGE_BUILD_DIR ${CMAKE_BINARY_DIR}/package-files)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

find_program(MARVOK_GZIP gzip REQUIRED)

# Man pages for the programs this tree builds; the speech companion and the
# demo member have theirs only when their folders are part of the build.
set(man_pages marvok marvok-relay marvok-web)
foreach(program IN ITEMS talksrv marvok-demo)
  if(TARGET ${program})
    list(APPEND man_pages ${program})
  endif()
endforeach()
set(compressed_files)
foreach(page IN LISTS man_pages)
  set(source ${MARVOK_PACKAGE_BUILD_DIR}/${page}.1)
  configure_file(${PROJECT_SOURCE_DIR}/resources/man/${page}.1 ${source} @ONLY)
  add_custom_command(OUTPUT ${source}.gz
    COMMAND ${CMAKE_COMMAND} -DGZIP=${MARVOK_GZIP} -DINPUT=${source} -DOUTPUT=${source}.gz
            -P ${PROJECT_SOURCE_DIR}/cmake/GzipFile.cmake
    DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/GzipFile.cmake
    VERBATIM)
  install(FILES ${source}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  list(APPEND compressed_files ${source}.gz)
endforeach()

# A native package's changelog, written at build time.
set(changelog ${MARVOK_PACKAGE_BUILD_DIR}/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -DTEMPLATE=${PROJECT_SOURCE_DIR}/resources/package/changelog.in -DOUTPUT=${changelog}
          -DMARVOK_VERSION=${PROJECT_VERSION} -DMARVOK_MAINTAINER=${MARVOK_PACKAGE_MAINTAINER}
          -P ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
  COMMAND ${CMAKE_COMMAND} -DGZIP=${MARVOK_GZIP} -DINPUT=${changelog} -DOUTPUT=${changelog}.gz
          -P ${PROJECT_SOURCE_DIR}/cmake/GzipFile.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/package/changelog.in ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
          ${PROJECT_SOURCE_DIR}/cmake/GzipFile.cmake
  VERBATIM)
list(APPEND compressed_files ${changelog}.gz)
add_custom_target(marvok_package_documents ALL DEPENDS ${compressed_files})

install(FILES ${changelog}.gz resources/package/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(PROGRAMS scripts/make-web-certificate.sh DESTINATION ${MARVOK_INSTALL_RESOURCE_DIR})

# The servers as systemd units, with the files where their operator sets their
# addresses and options (conffiles). Nothing enables or starts them: the
# operator does, once they are set.
set(MARVOK_PACKAGE_UNITS marvok-relay.service marvok-web.service)
set(MARVOK_UNIT_DEFAULTS_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default)
foreach(unit IN LISTS MARVOK_PACKAGE_UNITS)
  get_filename_component(server ${unit} NAME_WE)
  configure_file(packaging/linux/${unit}.in ${MARVOK_PACKAGE_BUILD_DIR}/${unit} @ONLY)
  install(FILES ${MARVOK_PACKAGE_BUILD_DIR}/${unit} DESTINATION lib/systemd/system)
  install(FILES packaging/linux/${server}.default DESTINATION ${MARVOK_UNIT_DEFAULTS_DIR} RENAME ${server})
endforeach()
list(JOIN MARVOK_PACKAGE_UNITS " " MARVOK_PACKAGE_UNITS)

foreach(script IN ITEMS postinst prerm postrm conffiles)
  configure_file(resources/package/${script}.in ${MARVOK_PACKAGE_BUILD_DIR}/${script} @ONLY)
endforeach()

# cpack refuses a Debian package from a tree whose client would look elsewhere
# than where the package puts its files.
set(CPACK_MARVOK_PACKAGE_PROBLEM "")
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(CPACK_MARVOK_PACKAGE_PROBLEM "The install prefix is ${CMAKE_INSTALL_PREFIX}, not /usr.")
elseif(NOT MARVOK_WEB_CA_FILE STREQUAL "${MARVOK_PACKAGE_WEB_DIR}/ca.pem")
  set(CPACK_MARVOK_PACKAGE_PROBLEM "The client trusts ${MARVOK_WEB_CA_FILE}, not ${MARVOK_PACKAGE_WEB_DIR}/ca.pem.")
endif()
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/PackagingChecks.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marvok)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${MARVOK_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MARVOK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "push-to-talk voice network client, relay and web service")
set(CPACK_PACKAGE_DESCRIPTION
    "Marvok lets members of a leisure voice network talk in eleven themed\n"
    "channels by holding a key, a USB push-to-talk button or the key of its\n"
    "speech companion, and hear the others, with meters, status lights and\n"
    "the speaker's card and picture.\n"
    "\n"
    "This package holds the desktop client (marvok), its speech companion\n"
    "(talksrv), the relay server (marvok-relay), the HTTPS web service\n"
    "(marvok-web) and a demo member (marvok-demo), so that a whole network\n"
    "runs on one machine.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_MARVOK_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageDropComments.cmake)
# Libraries come from dpkg-shlibdeps; these are what the programs read or run.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(package_depends "fonts-liberation" "openssl")
if(TARGET talksrv OR TARGET marvok-demo)
  list(APPEND package_depends "espeak-ng-data")
endif()
list(JOIN package_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${MARVOK_PACKAGE_BUILD_DIR}/postinst ${MARVOK_PACKAGE_BUILD_DIR}/prerm
    ${MARVOK_PACKAGE_BUILD_DIR}/postrm ${MARVOK_PACKAGE_BUILD_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
