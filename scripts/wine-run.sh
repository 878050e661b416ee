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
exec wine "$exe" "$@"
