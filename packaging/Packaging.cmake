# The Debian package: the console, the simulator, the menu entry and the icon, built by the
# "package" target.
include(GNUInstallDirs)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/tqm810-console.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tqm810-console.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tqm810-console)
set(CPACK_PACKAGE_VENDOR "TQM-810 console project")
set(CPACK_PACKAGE_CONTACT "TQM-810 console project <tqm810-console@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Console for the TQM-810 terminal on an RS-232 line")
# Wrapped for an 80-column "apt show".
set(CPACK_PACKAGE_DESCRIPTION
    "Pick a COM port, switch DTR and RTS, send each of the device's commands
with one click and watch what the device answers, every control byte spelled
out by its ASCII name. Includes tqm810-sim, a simulated TQM-810 on a
pseudo-terminal, for trying the console without the device.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The build type keeps debug information for the tests; the installed programs do not need it.
set(CPACK_STRIP_FILES ON)

# The Qt libraries and their versions come from the programs themselves; the X11 platform plugin
# ships inside libqt6gui6 on Debian 12, so it comes along. What no library link shows: the captions
# are Korean, and without a Hangul font they show as empty boxes; the receive box draws every byte
# in DejaVu Sans Mono, one cell each.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-nanum, fonts-dejavu-core")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackChecks.cmake)

include(CPack)
