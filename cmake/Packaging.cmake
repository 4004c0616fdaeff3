# Installing the launcher like an application, and its Debian package (cpack -G DEB):
#   bin/kestrune, the icon in the hicolor theme (64 x 64 and 256 x 256, drawn by the artwork
#   generator), the application-menu entry, AppStream metainfo, the manual page, and in the package
#   the Debian copyright and changelog files. Library dependencies come from dpkg-shlibdeps.
include(GNUInstallDirs)

set(KESTRUNE_APP_ID "net.kestrune.Launcher")
set(KESTRUNE_HOMEPAGE_URL "https://kestrune.example.org" CACHE STRING "The project's home page (metainfo, package)")
set(KESTRUNE_MAINTAINER "The Kestrune developers <packages@kestrune.example.org>" CACHE STRING
    "Maintainer of the Debian package")
set(KESTRUNE_RELEASE_DATE "2026-12-09")
set(KESTRUNE_RELEASE_DATE_RFC2822 "Wed, 09 Dec 2026 12:00:00 +0000")
set(KESTRUNE_DEB_RELEASE 1)
set(KESTRUNE_DEB_VERSION "${PROJECT_VERSION}-${KESTRUNE_DEB_RELEASE}")

set(packaging_in ${PROJECT_SOURCE_DIR}/packaging/linux)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)
configure_file(${packaging_in}/${KESTRUNE_APP_ID}.metainfo.xml.in ${packaging_out}/${KESTRUNE_APP_ID}.metainfo.xml @ONLY)
configure_file(${packaging_in}/copyright.in ${packaging_out}/copyright @ONLY)
configure_file(${packaging_in}/changelog.Debian.in ${packaging_out}/changelog.Debian @ONLY)
configure_file(${packaging_in}/kestrune.6 ${packaging_out}/kestrune.6 @ONLY)

# Debian wants these compressed without a time stamp (gzip -n).
find_program(KESTRUNE_GZIP gzip REQUIRED)
foreach(doc changelog.Debian kestrune.6)
  add_custom_command(OUTPUT ${packaging_out}/${doc}.gz
    COMMAND ${KESTRUNE_GZIP} -9nkf ${packaging_out}/${doc}
    DEPENDS ${packaging_out}/${doc}
    VERBATIM)
  list(APPEND packaging_docs ${packaging_out}/${doc}.gz)
endforeach()
add_custom_target(kestrune_packaging_docs ALL DEPENDS ${packaging_docs})

install(TARGETS kestrune RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KESTRUNE_ARTWORK_DIR}/game.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps RENAME kestrune.png)
install(FILES ${KESTRUNE_ARTWORK_DIR}/game-256.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME kestrune.png)
install(FILES ${packaging_in}/${KESTRUNE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_out}/${KESTRUNE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging_out}/kestrune.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${packaging_out}/copyright ${packaging_out}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrune)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VENDOR "The Kestrune developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KESTRUNE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher for the Kestrune online game")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/dist)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KESTRUNE_DEB_RELEASE})
# Not "games": that section wants its programs in /usr/games, and this one is an ordinary program.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KESTRUNE_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The Kestrune launcher shows the game's login page in a window shaped like its
own artwork. Once the player has logged in, the game opens in a large window of
its own; closing it returns to the login page as it was.
.
Logins are remembered between starts where the game's site allows it: cookies
and site data are kept in the player's own data folder.")
# CPack dates the package's files and archives by SOURCE_DATE_EPOCH from its own environment: the
# configured value goes there, so that any cpack run of this build gives the same package.
set(KESTRUNE_CPACK_CONFIG ${PROJECT_BINARY_DIR}/packaging/CPackProjectConfig.cmake)
file(CONFIGURE OUTPUT ${KESTRUNE_CPACK_CONFIG}
  CONTENT "set(ENV{SOURCE_DATE_EPOCH} ${KESTRUNE_SOURCE_DATE_EPOCH})\n")
set(CPACK_PROJECT_CONFIG_FILE ${KESTRUNE_CPACK_CONFIG})
include(CPack)
