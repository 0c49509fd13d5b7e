# The Debian package (scripts/package): everything `cmake --install` places under /usr,
# without the registration in the installing user's file (the "registration" component);
# its maintainer scripts register XTPPic machine-wide instead.

# What Debian asks of every package's documentation folder: the copyright file and, for
# a package of our own making (its version has no Debian revision), the changelog.gz.
set(package_doc_dir share/doc/reelsmith)
set(package_changelog ${CMAKE_BINARY_DIR}/debian/changelog.gz)
add_custom_command(
  OUTPUT ${package_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
  COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${package_changelog}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(reelsmith-package-changelog ALL DEPENDS ${package_changelog})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${package_changelog} DESTINATION ${package_doc_dir})

set(REELSMITH_PACKAGE_MAINTAINER "Reelsmith developers <developers@reelsmith.org>" CACHE STRING
    "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reelsmith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/")
# The debugging information stays in build/; the package's programs and libraries are stripped.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "movie maker for folders of JPEG photographs")
set(CPACK_PACKAGE_DESCRIPTION
    "Reelsmith turns a folder of JPEG photographs, one picture every N milliseconds,
into a movie, optionally with an MP3 or WAV sound: MP4 (H.264 and AAC) or WebM
(VP9 and Opus), which browsers, phones and TVs play, or Windows Media Video
(.wmv) for old Windows players. Each photo can be turned upright by its Exif
orientation, letterboxed or cropped to the frame, and scaled smoothly.
It can play the slide show in its window and shows a progress bar. The package
holds the program, reelsmith-make (the same engine on the command line), the
picture-source library XTPPic, jpegdec, regsvr and the user manual.")
set(CPACK_PACKAGE_FILE_NAME reelsmith-${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${REELSMITH_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's own libraries come with it: dpkg-shlibdeps finds them in the package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "${CMAKE_BINARY_DIR}/_CPack_Packages/Linux/DEB/${CPACK_PACKAGE_FILE_NAME}/usr/lib/reelsmith")
# Loaded at run time, so no library dependency names it: Qt's X11 and Wayland plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Japanese text needs a CJK font; Qt's own dialogs in the user's language need its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, fonts-liberation, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_LIST_DIR}/prerm ${CMAKE_CURRENT_LIST_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
