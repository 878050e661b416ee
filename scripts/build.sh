#!/usr/bin/env bash
# build.sh BUILD_DIR [cmake options...]: configures (once) and builds; shows
# only warnings and errors.
set -u
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build=$1; shift
mkdir -p "$build"
log="$build/build.log"
if [ ! -f "$build/CMakeCache.txt" ]; then
  if ! cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >"$log" 2>&1; then
    cat "$log" >&2; exit 1
  fi
fi
if ! cmake --build "$build" -j"$(nproc)" >"$log" 2>&1; then
  grep -E "error|Error" "$log" | head -40 >&2; exit 1
fi
grep -E "warning:" "$log" | head -20 || true
