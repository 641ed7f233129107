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
# Stripped as Debian strips: the compilers' .comment and .note sections go too.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/scoreboard\" COMMAND_ERROR_IS_FATAL ANY)
endif()")

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

# The manual page is made by help2man from the program's own --help and --version, so the page and the
# options cannot drift apart; the keys and the rest come from packaging/scoreboard.h2m. Dated, as Debian
# dates what it builds, by the latest changelog entry.
set(SCOREBOARD_MAINTAINER "Eight-ball scoreboard developers <scoreboard@example.org>"
    CACHE STRING "Maintainer of the Debian package, \"Name <address>\"")
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)
file(STRINGS ${PROJECT_BINARY_DIR}/packaging/changelog trailers REGEX "^ -- ")
list(GET trailers 0 latest_trailer)
string(REGEX REPLACE "^.*>  " "" release_date "${latest_trailer}")
execute_process(COMMAND date -u -d "${release_date}" +%s
    OUTPUT_VARIABLE release_epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(manpage ${PROJECT_BINARY_DIR}/packaging/scoreboard.1)
add_custom_command(OUTPUT ${manpage}.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${release_epoch} ${HELP2MAN} --no-info --section=1
        "--name=scoreboard for two-player eight-ball matches" --include=${PROJECT_SOURCE_DIR}/packaging/scoreboard.h2m
        --output=${manpage} $<TARGET_FILE:scoreboard>
    COMMAND ${GZIP} -9nf ${manpage} --keep
    DEPENDS scoreboard ${PROJECT_SOURCE_DIR}/packaging/scoreboard.h2m
    COMMENT "Writing the manual page from scoreboard --help"
    VERBATIM)
# Debian's changelog of a native package: changelog.gz beside the copyright file.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${GZIP} -9nf ${PROJECT_BINARY_DIR}/packaging/changelog --keep
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(documentation ALL DEPENDS ${manpage}.gz ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${manpage}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- Debian package -----------------------------------------------------------------------------

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "scoreboard")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "the Scoreboard authors")
set(CPACK_PACKAGE_CONTACT "${SCOREBOARD_MAINTAINER}")
# Debian's style: a synopsis that is not a sentence and does not repeat the package's name, then
# paragraphs of at most 80 columns.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "score and match clock of two-player eight-ball matches on screen")
set(CPACK_PACKAGE_DESCRIPTION "A scoreboard for the audience of a billiards match, worked by one operator
from the keyboard. A small control panel shows both players' names, photos
and scores; F5 starts a match, the letters a, d, j and l keep the score, and
Esc ends it. On demand a full-screen backdrop behind the panel adds the time
the match has been running and the current date and time.

The interface is in Simplified Chinese. The program saves nothing and reads
no file but the player photos the operator picks.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SCOREBOARD_HOMEPAGE}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "scoreboard")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# It keeps the score of a game played at a table; it is no game itself, so not "games" (whose
# programs live in /usr/games) but "misc", Debian's section for programs no other section fits.
set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The libraries come from dpkg-shlibdeps; what the program loads at run time without linking it
# has to be named: the X11 platform plugin, Qt's WebP and TIFF readers and libheif for photos, and a
# Chinese face for every caption on both windows.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (the file dialog, the context menus) come in the operator's language from qt6-translations-l10n.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-image-formats-plugins, qt6-translations-l10n, libheif1 (>= 1.15), fonts-noto-cjk")
# Wayland sessions run it natively with Qt's Wayland plugin, and through XWayland without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
