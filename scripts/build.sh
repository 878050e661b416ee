#!/usr/bin/env bash
# build.sh BUILD_DIR [--target NAME]... [cmake options...]: configures (once)
# and builds everything, or only the named targets. Shows only warnings and
# errors; with targets, also each step as it starts, since a partial build is
# what someone sits and waits for.
set -u
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build=$1; shift
targets=()
options=()
while [ $# -gt 0 ]; do
  if [ "$1" = --target ] && [ $# -ge 2 ]; then
    targets+=("$1" "$2"); shift 2
  else
    options+=("$1"); shift
  fi
done
mkdir -p "$build"
log="$build/build.log"
if [ ! -f "$build/CMakeCache.txt" ]; then
  [ ${#targets[@]} -eq 0 ] || echo "configuring $build"
  if ! cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release "${options[@]}" >"$log" 2>&1; then
    cat "$log" >&2; exit 1
  fi
fi
if [ ${#targets[@]} -eq 0 ]; then
  cmake --build "$build" -j"$(nproc)" >"$log" 2>&1
  status=$?
else
  # cmake's own progress lines, the build steps only ("[ 42%] menuhost: main.cpp").
  cmake --build "$build" -j"$(nproc)" "${targets[@]}" 2>&1 | tee "$log" |
    sed -un -E 's#^(\[ *[0-9]+%\]) Building (CXX|C|RC) object .*CMakeFiles/([^/]+)\.dir/(.*)\.obj$#  \1 \3: \4#p;
                 s#^(\[ *[0-9]+%\]) (Linking .*|Building installer.*)$#  \1 \2#p'
  status=${PIPESTATUS[0]}
fi
if [ "$status" -ne 0 ]; then
  grep -E "error|Error" "$log" | head -40 >&2; exit 1
fi
grep -E "warning:" "$log" | head -20 || true
