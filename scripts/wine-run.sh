#!/usr/bin/env bash
# Runs a Windows program of the build under the build's Wine session.
set -u
exe=$1; shift
build=$(cd "$(dirname "$(readlink -f "$exe")")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)
. "$(dirname "$(readlink -f "$0")")/wine-env.sh" "$build"
exec wine "$exe" "$@"
