# `cpack -G DEB` (from the build folder) makes a Debian package whose
# dependencies dpkg-shlibdeps works out from the binaries.
set(CPACK_PACKAGE_NAME tavero-player)
set(CPACK_PACKAGE_VENDOR "The Tavero developers")
set(CPACK_PACKAGE_CONTACT "Tavero developers <dev@tavero.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small, fast player for Video CDs and single media files")
# Lines of at most 80 characters in the package's description.
set(CPACK_PACKAGE_DESCRIPTION "Tavero Player plays Video CDs and single media files in one compact window
with a strip of numbered track slots. It watches the CD drive, so discs can
be put in, swapped and taken out at any time.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugin and mpv its OpenGL driver at run time, which
# dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libgl1")
# Debian ships binaries stripped; the debug info stays in the build.
set(CPACK_STRIP_FILES ON)
# Mesa's drivers draw the picture where no other OpenGL driver does; Qt's
# Wayland plugin lets the program run as a Wayland client.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri, qt6-wayland")
include(CPack)
