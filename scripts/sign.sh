#!/usr/bin/env bash
# sign.sh [BUILD_DIR]: Authenticode signatures (SHA-256) for a release, from a
# certificate the user supplies:
#   MORVANE_SIGN_PFX        PKCS#12 file with the code-signing key and certificate
#   MORVANE_SIGN_PASSWORD   its password
#   MORVANE_SIGN_TIMESTAMP  optional RFC 3161 timestamp server URL
# Signs a copy of the built DLL into BUILD_DIR/signed, builds the package of
# that signed copy there, and signs the package: signed/MorvaneX64.dll and
# signed/MorvaneX64.msi. The build's own DLL and packages stay unsigned.
set -eu
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
name="Morvane shell extension (x64)"
die() { echo "sign: $*" >&2; exit 1; }

[ -n "${MORVANE_SIGN_PFX:-}" ] || die "set MORVANE_SIGN_PFX to the PKCS#12 file of the signing certificate"
[ -f "$MORVANE_SIGN_PFX" ] || die "no such file: $MORVANE_SIGN_PFX"
[ -n "${MORVANE_SIGN_PASSWORD+set}" ] || die "set MORVANE_SIGN_PASSWORD to the password of $MORVANE_SIGN_PFX"
command -v osslsigncode >/dev/null || die "osslsigncode is missing (bash scripts/setup.sh installs it)"
[ -f "$build/MorvaneX64.dll" ] || die "no $build/MorvaneX64.dll: build first (bash scripts/build.sh $build)"

timestamp=()
[ -z "${MORVANE_SIGN_TIMESTAMP:-}" ] || timestamp=(-ts "$MORVANE_SIGN_TIMESTAMP")

# sign IN OUT: the password goes through stdin, never onto a command line.
sign() {
  rm -f "$2"
  printf '%s' "$MORVANE_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$MORVANE_SIGN_PFX" -readpass - -h sha256 -n "$name" \
      "${timestamp[@]}" -in "$1" -out "$2" >/dev/null || die "signing $1 failed"
}

signed="$build/signed"
mkdir -p "$signed"
sign "$build/MorvaneX64.dll" "$signed/MorvaneX64.dll"
echo "signed: $signed/MorvaneX64.dll"
# The package must carry the signed DLL: it is made from the signed copy.
cmake --build "$build" --target morvane_signed_installer >"$signed/build.log" 2>&1 ||
  { cat "$signed/build.log" >&2; die "building the package failed"; }
sign "$signed/MorvaneX64.msi" "$signed/MorvaneX64.msi.tmp"
mv "$signed/MorvaneX64.msi.tmp" "$signed/MorvaneX64.msi"
echo "signed: $signed/MorvaneX64.msi"
