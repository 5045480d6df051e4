# The Debian package: `cpack` in the build folder (scripts/package) makes
# tressel-renamer_VERSION_ARCH.deb from the install rules, with its library
# dependencies computed from the binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tressel-renamer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "give numbered files meaningful names from what their content says")
set(CPACK_PACKAGE_DESCRIPTION
    "Tressel Renamer reads descriptive text out of files whose names say nothing: the
version resources of executables, the tags of songs and videos, and more. It shows
that text in nine columns beside the name and renames the selected files after the
column you pick, with undo. The command-line tool tressel does the same for scripts.")
set(CPACK_PACKAGE_CONTACT "Tressel Renamer developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its windowing-system plugins at run time, so no binary names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
