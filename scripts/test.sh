#!/usr/bin/env bash
# Builds everything and runs every test under Wine: first the shipped build,
# then the hardened one (guard-page heap, stack protector, trapping UB checks).
set -eu
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
cd "$root"
bash scripts/setup.sh
status=0
for variant in build build-hardened; do
  options=()
  [ "$variant" = build-hardened ] && options=(-DMORVANE_HARDENED=ON)
  echo "== $variant"
  if ! bash scripts/build.sh "$variant" "${options[@]}"; then
    echo "build failed: $variant" >&2
    exit 1
  fi
  ctest --test-dir "$variant" --output-on-failure --timeout 900 || status=1
done
exit $status
