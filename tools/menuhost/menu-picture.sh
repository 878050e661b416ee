#!/usr/bin/env bash
# menu-picture.sh BUILD_DIR OUTPUT_PNG MENUHOST_ARGS...
# Pictures a menu as Explorer would show it, Japanese labels legible: installs
# a CJK font, compiles the Japanese locale into BUILD_DIR/locale (both once),
# and runs menuhost.exe --png under that locale in the build's Wine session
# (starting one for this run when none is up). Item paths in MENUHOST_ARGS
# are Windows paths (Z:\...).
#   tools/menuhost/menu-picture.sh build /tmp/menu.png context 'Z:\tmp\a.txt'
set -eu
if [ $# -lt 3 ]; then
  echo "usage: $0 BUILD_DIR OUTPUT_PNG context|drop ARGS..." >&2
  exit 2
fi
here=$(dirname "$(readlink -f "$0")")
scripts=$(readlink -f "$here/../../scripts")
build=$(cd "$1" && pwd)
png=$(readlink -f "$2")
shift 2
host="$build/tools/menuhost.exe"
[ -f "$host" ] || { echo "no $host: build the menuhost target first" >&2; exit 2; }

need_package() {
  dpkg -s "$1" >/dev/null 2>&1 && return
  apt-get update -qq && apt-get install -y -qq "$1" >/dev/null
}

# Without a CJK font Wine draws the labels as boxes.
need_package fonts-ipafont-gothic
# Code page 932 needs the compiled locale; LC_ALL without it breaks file names.
locales="$build/locale"
if [ ! -d "$locales/ja_JP.UTF-8" ]; then
  [ -f /usr/share/i18n/locales/ja_JP ] || need_package locales
  mkdir -p "$locales"
  localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8"
fi

. "$scripts/wine-env.sh" "$build"
started=
session_alive() {
  [ -f "$build/wine-session.env" ] || return 1
  . "$build/wine-session.env"
  kill -0 "${MORVANE_XVFB_PID:-0}" 2>/dev/null
}
if ! session_alive; then
  bash "$scripts/wine-session.sh" start "$build" >/dev/null
  . "$build/wine-session.env"
  started=1
fi
stop_session() { [ -z "$started" ] || bash "$scripts/wine-session.sh" stop "$build" >/dev/null; }
trap stop_session EXIT

# Wine draws menus with the prefix's MenuFont, whose character set was fixed
# when the prefix was made: ANSI in a prefix made under an English locale, and
# then Japanese labels come out as boxes whatever the locale of this run. The
# run gets SHIFTJIS_CHARSET (byte 23 of the LOGFONTW); the value is put back after.
metrics='HKCU\Control Panel\Desktop\WindowMetrics'
menu_font=$(wine reg query "$metrics" /v MenuFont 2>/dev/null | tr -d '\r' | awk '$1 == "MenuFont" {print $3}')
restore_font() {
  [ -n "$menu_font" ] && wine reg add "$metrics" /v MenuFont /t REG_BINARY /d "$menu_font" /f >/dev/null 2>&1
  stop_session
}
trap restore_font EXIT
if [ ${#menu_font} -ge 48 ]; then
  wine reg add "$metrics" /v MenuFont /t REG_BINARY /d "${menu_font:0:46}80${menu_font:48}" /f >/dev/null
fi

windows_png="Z:$(printf '%s' "$png" | tr / '\\')"
rc=0
LOCPATH="$locales" LANG=ja_JP.UTF-8 timeout 120 wine "$host" "$@" --png "$windows_png" || rc=$?
[ "$rc" -eq 0 ] && [ -f "$png" ] && echo "picture: $png"
exit "$rc"
