# cmake -DOUT=FILE -DVERSION=major.minor.build -DPUBLISHER=... [-DREVISION=n]
#       -P package-revision.cmake
# Writes the menu package's identity to FILE, "<version>.<revision>" and the
# publisher on two lines, and touches FILE only when it changes, so that the
# package and the MSIs are rebuilt only then. Runs at every build.
#
# The revision, the package version's fourth field: Windows refuses to
# register a package whose full name is already registered, so every build
# of one product version needs its own. It is the number of whole hours from
# 2026-01-01 00:00 UTC to the build time (SOURCE_DATE_EPOCH when set, for a
# reproducible build), which increases with the build time and stays within
# the field's 0..65535 until mid-2033; REVISION (MORVANE_PACKAGE_REVISION)
# sets it instead.
set(epoch 1767225600)  # 2026-01-01 00:00:00 UTC
if(NOT "${REVISION}" STREQUAL "")
  set(revision ${REVISION})
else()
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(now $ENV{SOURCE_DATE_EPOCH})
  else()
    string(TIMESTAMP now "%s" UTC)
  endif()
  math(EXPR revision "(${now} - ${epoch}) / 3600")
endif()
if(NOT revision MATCHES "^[0-9]+$" OR revision GREATER 65535)
  message(FATAL_ERROR "the menu package's revision '${revision}' is outside 0..65535: set MORVANE_PACKAGE_REVISION")
endif()
set(text "${VERSION}.${revision}\n${PUBLISHER}\n")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
