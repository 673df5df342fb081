# Read by cpack for each package it builds: refuses a package whose library dependencies it could
# not work out, or one without its manual pages.
if(CPACK_GENERATOR STREQUAL "DEB")
  # Without these two, cpack would quietly drop every Qt library from Depends and the package
  # would install on a machine where the console cannot start.
  find_program(TQM_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(TQM_FILE file)
  if(NOT TQM_DPKG_SHLIBDEPS OR NOT TQM_FILE)
    message(FATAL_ERROR "The package's Depends need dpkg-shlibdeps and file: "
                        "apt-get install dpkg-dev file")
  endif()
endif()
if(NOT CPACK_TQM_MAN_PAGES)
  message(FATAL_ERROR "The package needs its manual pages, made by help2man: "
                      "apt-get install help2man, then configure again")
endif()
