# Installing Quillo as a desktop application, and its Debian package:
#   cmake --build build --target quillo quillo_install_data && (cd build && cpack)
# or `make deb`, which leaves quillo_<version>_<arch>.deb in build/.

include(GNUInstallDirs)

set(QUILLO_APP_ID org.quillo.Quillo) # the same as kAppId in src/platform/linux/AppId.h
set(QUILLO_RELEASE_DATE 2026-12-06)  # of PROJECT_VERSION: change the two together
set(QUILLO_HOMEPAGE "https://quillo.example.org" CACHE STRING "Quillo's web site, as the package and metadata give it")
set(QUILLO_REPOSITORY_URL "https://quillo.example.org/git/quillo" CACHE STRING
    "The public repository; app stores load the screenshots from its docs/screenshots/")
set(QUILLO_MAINTAINER "The Quillo developers <maintainers@quillo.example.org>" CACHE STRING
    "Maintainer of the Debian package")

set(data_dir ${CMAKE_SOURCE_DIR}/data)
set(staged ${CMAKE_BINARY_DIR}/install-data)

# Files made at configure time from the version and the addresses above.
configure_file(${data_dir}/${QUILLO_APP_ID}.metainfo.xml.in ${staged}/${QUILLO_APP_ID}.metainfo.xml @ONLY)
configure_file(${data_dir}/copyright.in ${staged}/copyright @ONLY)
execute_process(COMMAND date -u -R -d ${QUILLO_RELEASE_DATE} OUTPUT_VARIABLE changelog_date
                OUTPUT_STRIP_TRAILING_WHITESPACE)
file(WRITE ${staged}/changelog
     "quillo (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * Quillo ${PROJECT_VERSION}, released ${QUILLO_RELEASE_DATE}.\n\n"
     " -- ${QUILLO_MAINTAINER}  ${changelog_date}\n")

# Debian wants the manual page and the changelog compressed, without a time
# stamp in the gzip header so that builds are reproducible.
set(compressed ${staged}/quillo.1.gz ${staged}/changelog.gz)
add_custom_command(OUTPUT ${compressed}
    COMMAND sh -c "gzip -9nc '${CMAKE_SOURCE_DIR}/docs/quillo.1' > '${staged}/quillo.1.gz'"
    COMMAND sh -c "gzip -9nc '${staged}/changelog' > '${staged}/changelog.gz'"
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/quillo.1 ${staged}/changelog
    COMMENT "Compressing the manual page and the changelog"
    VERBATIM)
add_custom_target(quillo_install_data ALL DEPENDS ${compressed})

install(TARGETS quillo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${data_dir}/${QUILLO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${staged}/${QUILLO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data_dir}/icons/${QUILLO_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The tray's own icons are compiled into the program; installed too, so an
# icon theme can restyle them like any other application's.
set(tray_icons)
foreach(state idle off processing recording)
    list(APPEND tray_icons ${data_dir}/icons/quillo-${state}-symbolic.svg)
endforeach()
install(FILES ${tray_icons} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/symbolic/apps)
install(FILES ${staged}/quillo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The help pages the app opens, and what Debian requires of every package.
install(FILES ${CMAKE_SOURCE_DIR}/docs/global-keys.md ${staged}/copyright ${staged}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillo)

# ------------------------------------------------------------------- CPack
# `make deb` builds only what the package holds, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quillo developers")
set(CPACK_PACKAGE_CONTACT ${QUILLO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "push-to-talk voice dictation for the desktop")
# Debian wraps nothing itself: lines of at most 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Hold a key in any application, speak and let go: Quillo records the\n"
       "microphone, turns the speech into text, tidies it (punctuation, filler\n"
       "words, spoken commands such as \"new line\") and pastes it at the cursor.\n"
       "It transcribes offline with PocketSphinx, or with OpenAI and Deepgram when\n"
       "their keys are configured, and keeps a local history with statistics.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUILLO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILLO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
# The libraries come from the binary (dpkg-shlibdeps); what it loads at run
# time on its own is named here: the offline model, and Qt's SVG plugins that
# draw the icons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pocketsphinx-en-us, libqt6svg6")
# What only some features use: Qt's native Wayland platform (XWayland serves
# otherwise), Wayland clipboard and typing, checking that pasted text arrived,
# and a notification service where the desktop has none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-wayland, wl-clipboard, wtype, at-spi2-core, notification-daemon")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pavucontrol")

include(CPack)
