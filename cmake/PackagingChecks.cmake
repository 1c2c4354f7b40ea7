# Read by cpack: a Debian package from a tree configured for another place
# would install a desktop entry and a client that look for files elsewhere.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_MARVOK_PACKAGE_PROBLEM)
  message(FATAL_ERROR "${CPACK_MARVOK_PACKAGE_PROBLEM} Build the package with scripts/make-package.sh.")
endif()
