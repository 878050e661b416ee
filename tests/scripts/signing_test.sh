#!/usr/bin/env bash
# signing_test.sh BUILD_DIR: scripts/sign.sh with a throwaway self-signed
# code-signing certificate whose subject is the menu package's publisher,
# without a timestamp (no server here: the test-only override); the four
# signatures checked by osslsigncode, the DLL, MorvaneMenuSetup.exe and the
# menu package inside the signed MSI included, the signed menu package read entry by entry
# as a strict ZIP reader reads it, and tampered copies must fail. A
# certificate of another subject is refused before anything is signed.
set -u
root=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# certificate NAME SUBJECT: NAME.pem and NAME.pfx in the work folder.
certificate() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "$2" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null || { echo "openssl req failed"; exit 1; }
  openssl pkcs12 -export -inkey "$work/$1.key" -in "$work/$1.pem" -out "$work/$1.pfx" \
    -passout pass:'test pass' || { echo "openssl pkcs12 failed"; exit 1; }
}
sign() {
  MORVANE_SIGN_NO_TIMESTAMP=${2-1} MORVANE_SIGN_PFX="$work/$1.pfx" MORVANE_SIGN_PASSWORD='test pass' \
    bash "$root/scripts/sign.sh" "$build"
}

# The build's publisher ("CN=..., O=...") as openssl's subject ("/O=.../CN=...").
publisher=$(sed -n 's/^MORVANE_PACKAGE_PUBLISHER:[A-Z]*=//p' "$build/CMakeCache.txt")
subject=$(printf '%s' "$publisher" | awk -F', ' '{ for (i = NF; i > 0; i--) printf "/%s", $i }')
certificate other "/CN=Someone Else"
rm -rf "$build/signed"
sign other >/dev/null 2>"$work/other.txt" && fail "sign.sh signed with a certificate that is not the package's publisher"
grep -qF "\"$publisher\" but the certificate's subject is \"CN=Someone Else\"" "$work/other.txt" ||
  fail "sign.sh did not name both publishers: $(cat "$work/other.txt")"
[ -z "$(ls "$build/signed" 2>/dev/null)" ] || fail "sign.sh signed files before refusing the certificate"

certificate signer "$subject"
sign signer "" >/dev/null 2>"$work/untimed.txt" && fail "sign.sh signed without a timestamp"
grep -qF "set MORVANE_SIGN_TIMESTAMP" "$work/untimed.txt" || fail "sign.sh did not ask for a timestamp: $(cat "$work/untimed.txt")"
[ -z "$(ls "$build/signed" 2>/dev/null)" ] || fail "sign.sh signed files before asking for a timestamp"
sign signer || { echo "FAIL: sign.sh failed"; exit 1; }

# verify FILE: osslsigncode's verdict on FILE's signature by the test certificate.
verify() { osslsigncode verify -CAfile "$work/signer.pem" -in "$1" >"$work/verify.txt" 2>&1; }
expect_valid() {
  if ! verify "$1" || ! grep -q "^Signature verification: ok" "$work/verify.txt"; then
    fail "$2 does not verify:"; cat "$work/verify.txt"; return
  fi
  grep -Eq "Message digest algorithm *: SHA256" "$work/verify.txt" || fail "$2 is not signed with SHA-256"
  grep -qF "Subject: $subject" "$work/verify.txt" || fail "$2 is not signed by the test certificate"
}

signed="$build/signed"
expect_valid "$signed/MorvaneX64.dll" "the signed DLL"
expect_valid "$signed/MorvaneMenuSetup.exe" "the signed MorvaneMenuSetup.exe"
expect_valid "$signed/MorvaneX64-menu.msix" "the signed menu package"
# Signing rewrites [Content_Types].xml: the signed package must still be a
# sound ZIP (methods, CRCs and sizes agreeing everywhere), as Windows reads it.
python3 "$root/tests/installer/zip_check.py" "$signed/MorvaneX64-menu.msix" ||
  fail "the signed menu package is not a sound ZIP"
expect_valid "$signed/MorvaneX64.msi" "the signed package"

# The package carries the signed DLL, program and menu package, not the build's unsigned ones.
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && msiextract "$signed/MorvaneX64.msi" >/dev/null) || fail "msiextract failed"
for file in MorvaneX64.dll MorvaneMenuSetup.exe MorvaneX64-menu.msix; do
  packed=$(find "$work/unpacked" -name "$file" | head -1)
  if [ -z "$packed" ]; then
    fail "no $file in the signed package"
  else
    cmp -s "$packed" "$signed/$file" || fail "the package does not carry the signed $file"
    expect_valid "$packed" "the $file inside the signed package"
  fi
done

# One changed byte in the signed code must break the signature; the build's
# own DLL stays unsigned.
cp "$signed/MorvaneX64.dll" "$work/tampered.dll"
printf '\xCC' | dd of="$work/tampered.dll" bs=1 seek=1100 conv=notrunc status=none
verify "$work/tampered.dll" && fail "a tampered DLL still verifies"
verify "$build/MorvaneX64.dll" && fail "the build's own DLL is signed"
# The same for one changed byte of the signed menu package's manifest (stored
# uncompressed: "Brantix" becomes "Brantiy").
cp "$signed/MorvaneX64-menu.msix" "$work/tampered.msix"
at=$(grep -abo 'Brantix</PublisherDisplayName>' "$work/tampered.msix" | head -1 | cut -d: -f1)
printf 'y' | dd of="$work/tampered.msix" bs=1 seek=$((at + 6)) conv=notrunc status=none
cmp -s "$work/tampered.msix" "$signed/MorvaneX64-menu.msix" && fail "the menu package was not changed"
verify "$work/tampered.msix" && fail "a tampered menu package still verifies"

[ "$failures" -eq 0 ] && echo "no signing without a timestamp; signatures of the DLL, the program, the menu package and the MSI verify; the signed menu package is a sound ZIP; tampered copies do not"
exit "$failures"
