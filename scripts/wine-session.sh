#!/usr/bin/env bash
# wine-session.sh start|stop BUILD_DIR
# start: a private Xvfb display, the build's Wine prefix (made once) and a
# persistent wineserver, so that every later process start is cheap.
set -eu
action=$1
here=$(dirname "$(readlink -f "$0")")
. "$here/wine-env.sh" "$2"
session="$MORVANE_BUILD_DIR/wine-session.env"

stop() {
  if [ -f "$session" ]; then
    . "$session"
    wineserver -k 2>/dev/null || true
    [ -n "${MORVANE_XVFB_PID:-}" ] && kill "$MORVANE_XVFB_PID" 2>/dev/null || true
    rm -f "$session"
  else
    wineserver -k 2>/dev/null || true
  fi
}

start() {
  stop
  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xpid=$!
  read -r -t 20 display < "$fifo" || { echo "Xvfb did not start" >&2; exit 1; }
  rm -f "$fifo"
  printf 'export DISPLAY=:%s\nMORVANE_XVFB_PID=%s\n' "$display" "$xpid" > "$session"
  . "$session"
  mkdir -p "$WINEPREFIX"
  # The Japanese locale, for runs under code page 932 (see wine-run.sh).
  if [ ! -d "$MORVANE_BUILD_DIR/locale/ja_JP.UTF-8" ]; then
    mkdir -p "$MORVANE_BUILD_DIR/locale"
    localedef -i ja_JP -f UTF-8 "$MORVANE_BUILD_DIR/locale/ja_JP.UTF-8" >/dev/null 2>&1 || true
  fi
  # The persistent server comes first, so that every later start is cheap.
  wineserver -p </dev/null >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  fi
  wine cmd /c exit </dev/null >/dev/null 2>&1   # the first start after a server start is the slow one
  echo "Wine session: DISPLAY=$DISPLAY prefix=$WINEPREFIX"
}

case "$action" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop BUILD_DIR" >&2; exit 2 ;;
esac
