#!/usr/bin/env bash
# run.sh [BUILD_DIR [MEASUREMENT...]]: builds bench_morvane (and the DLL and stand-in it uses)
# in BUILD_DIR (default: build-bench), runs it in a Wine session of its own
# and prints the table of figures (of the named measurements only, when given:
# footprint, rightclick, selections, newmenu, listfile, conversion). Missed
# targets are reported, not fatal.
set -eu
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build=${1:-$root/build-bench}
[ $# -eq 0 ] || shift
mkdir -p "$build"
build=$(cd "$build" && pwd)

bash "$root/scripts/setup.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >"$build/bench-configure.log" 2>&1 \
    || { cat "$build/bench-configure.log" >&2; exit 1; }
fi
# Only what the benchmark needs, not the test executables.
cmake --build "$build" --target bench_morvane -j"$(nproc)" >"$build/bench-build.log" 2>&1 \
  || { grep -E "error|Error" "$build/bench-build.log" | head -40 >&2; exit 1; }
if grep -q '^MORVANE_HARDENED:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "note: $build is a hardened build; its figures are not those of the shipped DLL" >&2
fi

bash "$root/scripts/wine-session.sh" start "$build" >/dev/null
trap 'bash "$root/scripts/wine-session.sh" stop "$build"' EXIT
# Other work on the machine shows in every figure; say how busy it was.
echo "machine: $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$root/scripts/wine-run.sh" "$build/bench/bench_morvane.exe" "$@"
