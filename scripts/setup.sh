#!/usr/bin/env bash
# Installs what the build, the tests and the demo need, from Debian's
# packages. Quick and silent when everything is already there. Not root:
# through sudo when there is one, otherwise one line that says what to run.
set -eu
packages=(cmake make g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 xvfb xauth googletest wixl msitools imagemagick fonts-ipafont-gothic locales unzip xxd
          osslsigncode openssl python3 libxml2-utils clang-19 lld-19 python3-pefile)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# osslsigncode signs MSIX packages from 2.7 on: Debian 12 has 2.5 in main and
# 2.9 in bookworm-backports.
old_osslsigncode() {
  local version codename
  version=$(dpkg-query -W -f='${Version}' osslsigncode 2>/dev/null) || return 1
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  [ "$codename" = bookworm ] && dpkg --compare-versions "$version" lt 2.7
}
[ ${#missing[@]} -eq 0 ] && ! old_osslsigncode && exit 0
backports="deb http://deb.debian.org/debian bookworm-backports main"

as_root=()
if [ "$(id -u)" != 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    [ ${#missing[@]} -eq 0 ] ||
      echo "setup: missing packages: ${missing[*]}; install them as root with: apt-get install ${missing[*]}" >&2
    old_osslsigncode && echo "setup: osslsigncode is older than 2.7; as root, add '$backports' to the apt sources" \
      "and run: apt-get install -t bookworm-backports osslsigncode" >&2
    exit 1
  fi
  as_root=(sudo)
fi
# env: sudo would drop the variable otherwise.
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}${as_root:+ (through sudo)}"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if old_osslsigncode; then
  echo "Installing osslsigncode from bookworm-backports${as_root:+ (through sudo)}"
  echo "$backports" | "${as_root[@]}" tee /etc/apt/sources.list.d/bookworm-backports.list >/dev/null
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -t bookworm-backports osslsigncode >/dev/null
fi
