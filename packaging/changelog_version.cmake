# Fails unless the changelog's newest entry is for VERSION, the project's version.
# cmake -DCHANGELOG=... -DVERSION=... -P changelog_version.cmake
file(STRINGS "${CHANGELOG}" first LIMIT_COUNT 1)
if(NOT first MATCHES "^tqm810-console \\(([^)]+)\\) ")
  message(FATAL_ERROR "${CHANGELOG}: the first line is not a changelog entry's heading: ${first}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${CHANGELOG}: the newest entry is for ${CMAKE_MATCH_1}, the project is "
                      "${VERSION}; add an entry for ${VERSION} on top")
endif()
