# Installation by the usual Linux layout, and a Debian package built from it with CPack.
#
#   cmake --install build --prefix /usr        bin/, the desktop entry, icons, AppStream metainfo
#   scripts/package                            dist/scoreboard_<version>_<arch>.deb
#
# The desktop entry, the icons and the metainfo share one reverse-DNS id, so desktops and software
# centres find the icon and the launcher from the id alone.

include(GNUInstallDirs)

set(SCOREBOARD_APP_ID "io.github.eightball_scoreboard.Scoreboard")
# The reverse-DNS id names the project's home; AppStream insists on web addresses for screenshots, so
# they are the repository's own files at the release's tag.
set(SCOREBOARD_HOMEPAGE "https://github.com/eightball-scoreboard/scoreboard"
    CACHE STRING "The project's web home, for the metainfo and the Debian package")
set(SCOREBOARD_SCREENSHOT_URL
    "https://raw.githubusercontent.com/eightball-scoreboard/scoreboard/v${PROJECT_VERSION}/docs/screenshots"
    CACHE STRING "Web address of the folder holding docs/screenshots/, for the AppStream metainfo")

# Qt's project setup gives executables an $ORIGIN-relative run path for bundled libraries; the
# installed program uses the system's Qt, so it needs none.
set_target_properties(scoreboard PROPERTIES INSTALL_RPATH "")
install(TARGETS scoreboard RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/packaging/${SCOREBOARD_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

foreach(size IN ITEMS 32 48 64 256)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/hicolor/${size}x${size}/apps/scoreboard.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME ${SCOREBOARD_APP_ID}.png)
endforeach()

configure_file(${PROJECT_SOURCE_DIR}/packaging/${SCOREBOARD_APP_ID}.metainfo.xml.in
    ${PROJECT_BINARY_DIR}/packaging/${SCOREBOARD_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/${SCOREBOARD_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The Debian copyright file (machine-readable format) carries the licence's own words, so the two
# cannot differ: the copyright line, then the permission text as one indented field.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" copyright_line "${licence}")
set(SCOREBOARD_COPYRIGHT "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*Copyright[^\n]*\n" "" licence_text "${licence}")
string(STRIP "${licence_text}" licence_text)
string(REPLACE "\n\n" "\n.\n" licence_text "${licence_text}")
string(REPLACE "\n" "\n " licence_text " ${licence_text}")
set(SCOREBOARD_LICENSE_TEXT "${licence_text}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- Debian package -----------------------------------------------------------------------------

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "scoreboard")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Eight-ball scoreboard developers")
set(CPACK_PACKAGE_CONTACT "Eight-ball scoreboard developers <scoreboard@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "scoreboard for two-player eight-ball matches")
set(CPACK_PACKAGE_DESCRIPTION "A control panel with the players' names, photos and scores, worked \
from the keyboard, and a full-screen backdrop with the match time and the current date and time for the audience.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "scoreboard")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The libraries come from dpkg-shlibdeps; what the program loads at run time without linking it
# has to be named: the X11 platform plugin, the WebP reader for photos, and a Chinese face for
# every caption on both windows.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins, fonts-noto-cjk")
# Wayland sessions run it natively with Qt's Wayland plugin, and through XWayland without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
