# The Debian package: the programs, their manual pages, the menu entry, the icon, the copyright
# file and the changelog, built by the "package" target.
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

# The copyright file is made from LICENSE alone; the changelog is compressed as Debian's tools
# would, without a time stamp, so that the same sources give the same package.
set(TQM_COPYRIGHT ${TQM_PACKAGING_DIR}/copyright)
add_custom_command(
  OUTPUT ${TQM_COPYRIGHT}
  COMMAND ${CMAKE_COMMAND} -DLICENSE=${CMAKE_SOURCE_DIR}/LICENSE -DOUTPUT=${TQM_COPYRIGHT} -P
          ${CMAKE_CURRENT_LIST_DIR}/copyright.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_LIST_DIR}/copyright.cmake
  COMMENT "Writing the package's copyright file from LICENSE"
  VERBATIM)
add_custom_command(
  OUTPUT ${TQM_PACKAGING_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/changelog ${TQM_PACKAGING_DIR}/changelog
  COMMAND gzip -9nf ${TQM_PACKAGING_DIR}/changelog
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
  COMMENT "Compressing the package's changelog"
  VERBATIM)
add_custom_target(package_doc ALL DEPENDS ${TQM_COPYRIGHT} ${TQM_PACKAGING_DIR}/changelog.gz)
install(FILES ${TQM_COPYRIGHT} ${TQM_PACKAGING_DIR}/changelog.gz ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/sim/replies.example DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The version lives in project() alone: the package, every --version and the newest changelog
# entry must all carry it.
if(BUILD_TESTING)
  add_test(NAME changelog_carries_the_version
           COMMAND ${CMAKE_COMMAND} -DCHANGELOG=${CMAKE_CURRENT_LIST_DIR}/changelog
                   -DVERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/changelog_version.cmake)
endif()

# Whoever builds a package to hand out puts their own name and address here, or in DEBFULLNAME and
# DEBEMAIL before the first configure. The default's ".invalid" host can never receive mail.
if(NOT DEFINED TQM_MAINTAINER)
  set(maintainer "TQM-810 console authors <tqm810-console@example.invalid>")
  if(DEFINED ENV{DEBEMAIL} AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
    if("$ENV{DEBEMAIL}" MATCHES "<")
      set(maintainer "$ENV{DEBEMAIL}")
    elseif(DEFINED ENV{DEBFULLNAME} AND NOT "$ENV{DEBFULLNAME}" STREQUAL "")
      set(maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
    else()
      set(maintainer "TQM-810 console authors <$ENV{DEBEMAIL}>")
    endif()
  endif()
endif()
set(TQM_MAINTAINER "${maintainer}"
    CACHE STRING "The package's Maintainer: 'Name <address>' (default from DEBFULLNAME/DEBEMAIL)")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tqm810-console)
set(CPACK_PACKAGE_VENDOR "TQM-810 console project")
set(CPACK_PACKAGE_CONTACT "${TQM_MAINTAINER}")
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
# are Korean, and without a Hangul font they show as empty boxes. The receive box's
# NanumGothicCoding is in fonts-nanum from this version on; fonts-nanum-coding is only a
# transitional package pointing there. The receive box draws every byte in DejaVu
# Sans Mono, one cell each.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-nanum (>= 20200506-1), fonts-dejavu-core")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackChecks.cmake)
# For CPackChecks.cmake: a package without its manual pages is refused.
set(CPACK_TQM_MAN_PAGES "${TQM_MAN_PAGES}")

include(CPack)
