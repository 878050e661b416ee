#!/usr/bin/env bash
# scripts/setup.sh as a user who is not root, with every package missing:
# run with a PATH of its own that holds a dpkg-query reporting nothing
# installed, an `id` that says uid 1000, and (in the second case) a sudo that
# records what it was asked. Nothing is installed.
set -u
root=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin="$work/bin"
mkdir -p "$bin"
printf '#!/bin/sh\nexit 1\n' > "$bin/dpkg-query"
printf '#!/bin/sh\n[ "$1" = -u ] && echo 1000\n' > "$bin/id"
chmod +x "$bin"/*
ln -s "$(command -v grep)" "$bin/grep"
bash_exe=$(command -v bash)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

packages=$(sed -n '/^packages=(/,/)/p' "$root/scripts/setup.sh" | tr -d '()' | sed 's/packages=//' | xargs)
[ -n "$packages" ] || fail "no package list found in setup.sh"

# No sudo: one line on stderr naming every package, non-zero exit.
out=$(PATH="$bin" "$bash_exe" "$root/scripts/setup.sh" 2>"$work/err")
status=$?
expected="setup: missing packages: $packages; install them as root with: apt-get install $packages"
[ "$status" -ne 0 ] || fail "exit status 0 without root and without sudo"
[ -z "$out" ] || fail "unexpected output on stdout: $out"
[ "$(cat "$work/err")" = "$expected" ] || fail "message was:
$(cat "$work/err")
expected:
$expected"

# With sudo: apt-get goes through it, for exactly the missing packages.
printf '#!/bin/sh\necho "$*" >> "%s/sudo.log"\n' "$work" > "$bin/sudo"
chmod +x "$bin/sudo"
PATH="$bin" "$bash_exe" "$root/scripts/setup.sh" >/dev/null 2>"$work/err" || fail "setup failed with sudo: $(cat "$work/err")"
expected_log="env DEBIAN_FRONTEND=noninteractive apt-get update -qq
env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $packages"
[ "$(cat "$work/sudo.log" 2>/dev/null)" = "$expected_log" ] || fail "sudo was asked:
$(cat "$work/sudo.log" 2>/dev/null)
expected:
$expected_log"

[ "$failures" -eq 0 ] && echo "setup.sh: refusal line and sudo path as expected"
exit "$failures"
