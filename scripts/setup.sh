#!/usr/bin/env bash
# Installs what the build, the tests and the demo need, from Debian's
# packages. Quick and silent when everything is already there. Not root:
# through sudo when there is one, otherwise one line that says what to run.
set -eu
packages=(cmake make g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 xvfb xauth googletest wixl msitools imagemagick fonts-ipafont-gothic locales unzip xxd
          osslsigncode openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" != 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "setup: missing packages: ${missing[*]}; install them as root with: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}${as_root:+ (through sudo)}"
# env: sudo would drop the variable otherwise.
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
