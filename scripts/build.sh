#!/usr/bin/env bash
# build.sh BUILD_DIR [cmake options...]: configures (once) and builds.
set -eu
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build=$1; shift
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" 2>&1 | grep -E "error|warning:|Error" || true
test "${PIPESTATUS[0]}" -eq 0
