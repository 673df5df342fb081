# The Debian package: the programs, their manual pages, the menu entry and the icon, built by the
# "package" target.
include(GNUInstallDirs)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/tqm810-console.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tqm810-console.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(TQM_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)

# Manual pages: help2man runs each program's --help and --version and adds the hand-written part
# from man/PROGRAM.h2m, so the options listed can never differ from the program's own.
find_program(TQM_HELP2MAN help2man)
set(TQM_MAN_PAGES "")
if(TQM_HELP2MAN)
  # A private, empty ports folder and no display: if a program ever started its window or its
  # port instead of answering --help, it would fail here rather than open a real device.
  set(man_config ${TQM_PACKAGING_DIR}/man-config)
  file(MAKE_DIRECTORY ${man_config}/tqm810-console/ports)
  foreach(program IN ITEMS tqm810-console tqm810-sim tqm810)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(page ${TQM_PACKAGING_DIR}/${program}.1)
    set(include_file ${CMAKE_CURRENT_LIST_DIR}/man/${program}.h2m)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
              QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=${man_config}
              ${TQM_HELP2MAN} --no-info --include=${include_file} --output=${page}
              $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${include_file}
      COMMENT "Writing the manual page of ${program}"
      VERBATIM)
    list(APPEND TQM_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${TQM_MAN_PAGES})
  install(FILES ${TQM_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man is missing: no manual pages, and cpack will refuse the package "
                  "(scripts/setup.sh installs it)")
endif()

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
# are Korean, and without a Hangul font they show as empty boxes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-nanum")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackChecks.cmake)
# For CPackChecks.cmake: a package without its manual pages is refused.
set(CPACK_TQM_MAN_PAGES "${TQM_MAN_PAGES}")

include(CPack)
