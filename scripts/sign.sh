#!/usr/bin/env bash
# sign.sh [BUILD_DIR]: Authenticode signatures (SHA-256) for a release, from a
# certificate the user supplies:
#   MORVANE_SIGN_PFX        PKCS#12 file with the code-signing key and certificate
#   MORVANE_SIGN_PASSWORD   its password
#   MORVANE_SIGN_TIMESTAMP  RFC 3161 timestamp server URL: required, since a
#                           signature without a timestamp dies with the
#                           certificate, and with it every later sign-in's
#                           registration of the menu's package
#   MORVANE_SIGN_NO_TIMESTAMP=1  signs without one: for tests only, never a release
# Signs copies of the built DLL, of MorvaneMenuSetup.exe and of the Windows 11
# menu's package into BUILD_DIR/signed, builds the MSI of those signed copies
# there, and signs it: signed/MorvaneX64.dll, signed/MorvaneMenuSetup.exe,
# signed/MorvaneX64-menu.msix, signed/MorvaneX64.msi.
# The build's own DLL and packages stay unsigned. Windows takes the menu's
# package only when its Publisher is the certificate's subject: the build's
# MORVANE_PACKAGE_PUBLISHER (cmake -DMORVANE_PACKAGE_PUBLISHER=...).
set -eu
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
name="Morvane shell extension (x64)"
die() { echo "sign: $*" >&2; exit 1; }

[ -n "${MORVANE_SIGN_PFX:-}" ] || die "set MORVANE_SIGN_PFX to the PKCS#12 file of the signing certificate"
[ -f "$MORVANE_SIGN_PFX" ] || die "no such file: $MORVANE_SIGN_PFX"
[ -n "${MORVANE_SIGN_PASSWORD+set}" ] || die "set MORVANE_SIGN_PASSWORD to the password of $MORVANE_SIGN_PFX"
command -v osslsigncode >/dev/null || die "osslsigncode is missing (bash scripts/setup.sh installs it)"
read -r major minor < <(osslsigncode --version 2>&1 | sed -n '1s/^osslsigncode \([0-9]*\)\.\([0-9]*\).*/\1 \2/p') || true
[ "${major:-0}" -gt 2 ] || { [ "${major:-0}" -eq 2 ] && [ "${minor:-0}" -ge 7 ]; } ||
  die "osslsigncode ${major:-?}.${minor:-?} cannot sign the MSIX package: 2.7 or later is needed (Debian 12: bookworm-backports; bash scripts/setup.sh installs it)"
[ -n "${MORVANE_SIGN_TIMESTAMP:-}" ] || [ "${MORVANE_SIGN_NO_TIMESTAMP:-}" = 1 ] ||
  die "set MORVANE_SIGN_TIMESTAMP to an RFC 3161 timestamp server: without a timestamp the signatures end with the certificate"
[ -z "${MORVANE_SIGN_TIMESTAMP:-}" ] || [ "${MORVANE_SIGN_NO_TIMESTAMP:-}" != 1 ] ||
  die "MORVANE_SIGN_TIMESTAMP and MORVANE_SIGN_NO_TIMESTAMP=1 contradict each other"
for file in MorvaneX64.dll MorvaneMenuSetup.exe; do
  [ -f "$build/$file" ] || die "no $build/$file: build first (bash scripts/build.sh $build)"
done
menu="$build/installer/MorvaneX64-menu.msix"
[ -f "$menu" ] || die "no $menu: build first (bash scripts/build.sh $build)"

# The package's Publisher against the certificate's subject, both as Windows
# writes a name ("CN=..., O=..."): RFC 2253 order, ", " between the parts.
publisher=$(unzip -p "$menu" AppxManifest.xml |
  xmllint --xpath 'string(/*[local-name()="Package"]/*[local-name()="Identity"]/@Publisher)' -) ||
  die "cannot read the publisher of $menu (xmllint: bash scripts/setup.sh installs it)"
subject=$(printf '%s' "$MORVANE_SIGN_PASSWORD" |
  { openssl pkcs12 -in "$MORVANE_SIGN_PFX" -passin stdin -nokeys -clcerts 2>/dev/null ||
    printf '%s' "$MORVANE_SIGN_PASSWORD" | openssl pkcs12 -legacy -in "$MORVANE_SIGN_PFX" -passin stdin -nokeys -clcerts; } |
  openssl x509 -noout -subject -nameopt RFC2253 | sed 's/^subject=//; s/,\([^ ]\)/, \1/g')
[ -n "$subject" ] || die "cannot read the certificate's subject from $MORVANE_SIGN_PFX"
[ "$publisher" = "$subject" ] ||
  die "the menu's package names the publisher \"$publisher\" but the certificate's subject is \"$subject\": reconfigure with cmake -DMORVANE_PACKAGE_PUBLISHER=\"$subject\" $build, build, and sign again"

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
for file in MorvaneX64.dll MorvaneMenuSetup.exe; do
  sign "$build/$file" "$signed/$file"
  echo "signed: $signed/$file"
done
sign "$menu" "$signed/MorvaneX64-menu.msix"
echo "signed: $signed/MorvaneX64-menu.msix"
# The MSI must carry the signed DLL, program and menu package: it is made from the signed copies.
cmake --build "$build" --target morvane_signed_installer >"$signed/build.log" 2>&1 ||
  { cat "$signed/build.log" >&2; die "building the package failed"; }
sign "$signed/MorvaneX64.msi" "$signed/MorvaneX64.msi.tmp"
mv "$signed/MorvaneX64.msi.tmp" "$signed/MorvaneX64.msi"
echo "signed: $signed/MorvaneX64.msi"
