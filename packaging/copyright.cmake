# Writes the package's machine-readable copyright file from LICENSE, so that choosing a licence
# changes LICENSE alone: its "Copyright" lines become the Copyright field, its
# SPDX-License-Identifier line the licence's short name, and the rest the licence text.
# cmake -DLICENSE=... -DOUTPUT=... -P copyright.cmake
file(STRINGS "${LICENSE}" lines ENCODING UTF-8)
set(holders "")
set(short_name "")
set(text "")
foreach(line IN LISTS lines)
  if(line MATCHES "^SPDX-License-Identifier: *(.+)$")
    set(short_name "${CMAKE_MATCH_1}")
    continue()
  endif()
  if(line MATCHES "^Copyright +(.+)$")
    string(APPEND holders " ${CMAKE_MATCH_1}\n")
  endif()
  # A paragraph break inside a field is written as " .".
  if(line STREQUAL "")
    string(APPEND text " .\n")
  else()
    string(APPEND text " ${line}\n")
  endif()
endforeach()
if(short_name STREQUAL "" OR holders STREQUAL "")
  message(FATAL_ERROR "${LICENSE} needs a 'Copyright YEAR HOLDER' line and an "
                      "'SPDX-License-Identifier: NAME' line for the package's copyright file")
endif()
string(REGEX REPLACE "( \\.\n)+$" "" text "${text}")
string(REGEX REPLACE "^ " "" holders "${holders}")

file(WRITE "${OUTPUT}"
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: tqm810-console\n"
     "\n"
     "Files: *\n"
     "Copyright: ${holders}"
     "License: ${short_name}\n"
     "${text}")
