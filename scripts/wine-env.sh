# Sourced: the Wine environment of one build folder ($1).
MORVANE_BUILD_DIR=$(cd "$1" && pwd)
export WINEPREFIX="$MORVANE_BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No crash dialog (a crash ends the process at once) and no Mono/Gecko prompts.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
if [ -f "$MORVANE_BUILD_DIR/wine-session.env" ]; then
  . "$MORVANE_BUILD_DIR/wine-session.env"
fi
