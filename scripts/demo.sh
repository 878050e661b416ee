#!/usr/bin/env bash
# The main job: what a user of the extension sees, under Wine. Builds what the
# demo runs (not the tests or benchmarks), registers the DLL with regsvr32 in
# the build's private prefix, imports the default settings
# (installer/settings-all-on.reg), and shows the right-click menu, the
# right-drag menu, the Windows 11 menu's entries, an extraction and a
# conversion picked from the menu, and a picture of the real popup menu.
set -eu
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
cd "$root"
build="$root/build"
demo="$build/demo"

step() { printf '\n== %s\n' "$*"; }
fail() { printf '\nDEMO FAILED: %s\n' "$*" >&2; exit 1; }
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
# Waits up to $2 seconds for the command in $1 to succeed.
wait_for() { local i; for ((i = 0; i < $2 * 10; i++)); do eval "$1" && return 0; sleep 0.1; done; return 1; }

step "Set-up and build"
bash scripts/setup.sh
# Only what the demo runs: the tests and benchmarks take minutes more.
targets=(MorvaneX64 standin-archiver menuhost morvane_installer)
echo "building: ${targets[*]}"
bash scripts/build.sh "$build" $(printf -- '--target %s ' "${targets[@]}") || fail "the build failed"
echo "DLL: $build/MorvaneX64.dll ($(stat -c %s "$build/MorvaneX64.dll") bytes)"
echo "Installer package: $build/installer/MorvaneX64.msi"

step "Wine session (private prefix $build/wineprefix)"
bash scripts/wine-session.sh start "$build" || fail "Wine did not start"
trap 'bash "$root/scripts/wine-session.sh" stop "$build" >/dev/null 2>&1 || true' EXIT
. scripts/wine-env.sh "$build"
run() { wine "$@" 2>/dev/null | tr -d '\r'; }
host() { wine "$build/tools/menuhost.exe" "$@" 2>&1 | tr -d '\r'; }

step "Register with regsvr32"
dll=$(winpath "$build/MorvaneX64.dll")
wine regsvr32 /s "$dll" || fail "regsvr32 failed"
clsid='{6C2B7E41-3F9A-4D85-B1E2-9A7C4F0D5E38}'
run reg query "HKCR\\CLSID\\$clsid" /s | sed '/^$/d'
run reg query 'HKCR\*\shellex\ContextMenuHandlers\MorvaneX64' | sed '/^$/d'
echo "... and the same under the other 10 handler lists, and the Approved list."

step "Default settings from installer/settings-all-on.reg; the stand-in archiver as Morvane.exe"
wine regedit /s "$(winpath "$root/installer/settings-all-on.reg")" || fail "regedit could not import the settings"
run reg query 'HKCU\Software\Quodle\Morvane\m_tbsShell' | sed '/^$/d'
echo "... every format under m_chkCompressMenu, and AdditionalMenu (conversion) on."
run reg add 'HKCU\Software\Quodle\Morvane' /v InstallPath /t REG_SZ /d "$(winpath "$build/standin")" /f >/dev/null
echo "InstallPath = $(winpath "$build/standin")"

step "Sample files"
rm -rf "$demo"; mkdir -p "$demo/src/docs" "$demo/drop"
echo "Hello from the demo" > "$demo/src/hello.txt"
echo "Read me" > "$demo/src/docs/readme.txt"
(cd "$demo/src" && tar --format=ustar -cf "$demo/sample.tar" hello.txt docs)
echo "a plain file" > "$demo/notes.txt"
export MORVANE_STANDIN_LOG; MORVANE_STANDIN_LOG=$(winpath "$demo/archiver.log")
archive=$(winpath "$demo/sample.tar")
ls -1 "$demo"

step "Right-click menu of sample.tar"
host context "$archive" | sed -n '/^menu:/,$p'

step "Right-drag menu: sample.tar dragged onto drop"
host drop "$(winpath "$demo/drop")" "$archive" | sed -n '/^menu:/,$p'

step "Windows 11 menu of sample.tar: the one IExplorerCommand entry, \"Morvane\", and what it opens"
echo "(Wine has no packaged COM: the host asks the DLL's DllGetClassObject for the class the package declares)"
host commands --dll "$dll" "$archive" | sed -n '/^entries:/,$p'

step "Picked: 解凍(&E)/ここに解凍(&H) (extract here)"
host context "$archive" --invoke '解凍(&E)/ここに解凍(&H)' | grep -E '^invoke|InvokeCommand' || fail "invoke failed"
wait_for '[ -f "$demo/hello.txt" ]' 30 || fail "the archiver did not extract"
echo "The archiver was asked:"
sed -n 's/^cmdline: /  command line: /p; s/^cwd: /  working folder: /p' "$demo/archiver.log"
echo "  list file bytes (ANSI, CR LF after each path):"
sed -n 's/^listbytes: //p' "$demo/archiver.log" | xxd -r -p | sed 's/\r$/\\r\\n/; s/^/    /'
echo "Extracted beside the archive: $(cd "$demo" && ls -d hello.txt docs/readme.txt | tr '\n' ' ')"

step "Picked: 変換(&T)/.zip (convert into a zip, through rundll32)"
: > "$demo/archiver.log"
host context "$archive" --invoke '変換(&T)/.zip' | grep -E '^invoke|InvokeCommand' || fail "invoke failed"
printf 'converting'
wait_for '[ "$(grep -c "^end" "$demo/archiver.log")" -ge 2 ]' 60 || fail "the conversion did not finish"
echo
echo "The archiver's two runs:"
sed -n 's/^cmdline: /  /p' "$demo/archiver.log"
[ -f "$demo/sample.zip" ] || fail "no sample.zip"
echo "Result $(winpath "$demo/sample.zip"):"
unzip -l "$demo/sample.zip" | sed 's/^/  /'

step "Picture of the real popup menu (Japanese locale, CJK font)"
if bash tools/menuhost/menu-picture.sh "$build" "$demo/menu.png" context "$archive" >/dev/null 2>&1; then
  echo "PNG: $demo/menu.png"
else
  echo "the picture could not be made (see tools/menuhost/menu-picture.sh)"
fi

step "Unregister"
wine regsvr32 /u /s "$dll" && echo "unregistered"
echo
echo "Demo finished. Files are in $demo; the installer package is $build/installer/MorvaneX64.msi"
