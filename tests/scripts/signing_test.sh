#!/usr/bin/env bash
# signing_test.sh BUILD_DIR: scripts/sign.sh with a throwaway self-signed
# code-signing certificate; both signatures checked by osslsigncode, the DLL
# inside the signed package included, and a tampered copy must fail.
set -u
root=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Morvane test signer" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null || { echo "openssl req failed"; exit 1; }
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" \
  -passout pass:'test pass' || { echo "openssl pkcs12 failed"; exit 1; }

MORVANE_SIGN_PFX="$work/signer.pfx" MORVANE_SIGN_PASSWORD='test pass' bash "$root/scripts/sign.sh" "$build" ||
  { echo "FAIL: sign.sh failed"; exit 1; }

# verify FILE: osslsigncode's verdict on FILE's signature by the test certificate.
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.txt" 2>&1; }
expect_valid() {
  if ! verify "$1" || ! grep -q "^Signature verification: ok" "$work/verify.txt"; then
    fail "$2 does not verify:"; cat "$work/verify.txt"; return
  fi
  grep -q "Message digest algorithm: SHA256" "$work/verify.txt" || fail "$2 is not signed with SHA-256"
  grep -q "Morvane test signer" "$work/verify.txt" || fail "$2 is not signed by the test certificate"
}

signed="$build/signed"
expect_valid "$signed/MorvaneX64.dll" "the signed DLL"
expect_valid "$signed/MorvaneX64.msi" "the signed package"

# The package carries the signed DLL, not the build's unsigned one.
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && msiextract "$signed/MorvaneX64.msi" >/dev/null) || fail "msiextract failed"
packed=$(find "$work/unpacked" -name MorvaneX64.dll | head -1)
if [ -z "$packed" ]; then
  fail "no MorvaneX64.dll in the signed package"
else
  cmp -s "$packed" "$signed/MorvaneX64.dll" || fail "the package does not carry the signed DLL"
  expect_valid "$packed" "the DLL inside the signed package"
fi

# One changed byte in the signed code must break the signature; the build's
# own DLL stays unsigned.
cp "$signed/MorvaneX64.dll" "$work/tampered.dll"
printf '\xCC' | dd of="$work/tampered.dll" bs=1 seek=1100 conv=notrunc status=none
verify "$work/tampered.dll" && fail "a tampered DLL still verifies"
verify "$build/MorvaneX64.dll" && fail "the build's own DLL is signed"

[ "$failures" -eq 0 ] && echo "signatures of the DLL and the package verify; a tampered copy does not"
exit "$failures"
