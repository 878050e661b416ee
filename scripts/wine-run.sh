#!/usr/bin/env bash
# Runs a Windows program of the build under the build's Wine session.
set -u
exe=$1; shift
build=$(cd "$(dirname "$(readlink -f "$exe")")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)
. "$(dirname "$(readlink -f "$0")")/wine-env.sh" "$build"
# MORVANE_CODE_PAGE=932: run under the Japanese locale (ANSI code page 932).
if [ "${MORVANE_CODE_PAGE:-}" = 932 ]; then
  export LOCPATH="$MORVANE_BUILD_DIR/locale" LANG=ja_JP.UTF-8
  unset LC_ALL
fi
# Output goes through a file: services that a test starts (winedevice.exe)
# inherit its handles and would keep a pipe to ctest open for ever.
out=$(mktemp)
wine "$exe" "$@" >"$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit $status
