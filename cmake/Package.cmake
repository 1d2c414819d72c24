# The Debian package: `cpack -G DEB` in a build folder makes velora_<version>_<arch>.deb from
# the same install rules as `cmake --install` (the tree finds everything relative to itself,
# so /usr is just another prefix). CPack rather than a debian/ folder: the install rules stay
# the one description of what is shipped, and packaging needs no second build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The velora project")
set(CPACK_PACKAGE_CONTACT "The velora project <velora@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "skinned music player with synchronised lyrics")
set(CPACK_PACKAGE_DESCRIPTION
    "velora is a skinnable, touch- and key-driven music player for small screens
(a Linux phone, a handheld, a kiosk, a small touch display) and the desktop.
It shows synchronised LRC lyrics (GBK, Big5 or UTF-8), loops an A-B stretch
or one lyric line, has a 10-band equalizer with presets and plays m3u
playlists and folders. Sound comes from its own small audio engine with input
plug-ins for MP4/AAC, MP3, Ogg Vorbis, Opus, FLAC and WAV.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VELORA_HOMEPAGE})
# Library dependencies come from the binaries themselves (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libxmms (the engine's channel and the plug-in library) lies in /usr/lib: a shlibs file for
# plug-ins built against it, and the ldconfig trigger lintian asks for (CPack still adds its
# own postinst and postrm calling ldconfig; empty replacements of them are worse).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
configure_file(${CMAKE_CURRENT_LIST_DIR}/deb/triggers ${CMAKE_BINARY_DIR}/deb/triggers COPYONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/deb/triggers)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mplayer, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "playerctl")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# What Debian wants beside the files: the licence notice and the change log of the package.
configure_file(${CMAKE_CURRENT_LIST_DIR}/deb/copyright ${CMAKE_BINARY_DIR}/deb/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/deb/changelog ${CMAKE_BINARY_DIR}/deb/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/deb/changelog.gz
  COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/deb/changelog > ${CMAKE_BINARY_DIR}/deb/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/deb/changelog)
add_custom_target(deb_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/deb/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/deb/copyright ${CMAKE_BINARY_DIR}/deb/changelog.gz
        DESTINATION share/doc/velora)

include(CPack)
