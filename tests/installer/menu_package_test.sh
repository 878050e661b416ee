#!/usr/bin/env bash
# menu_package_test.sh BUILD_DIR: the Windows 11 menu's package as built, read
# by tools other than the one that wrote it (Info-ZIP, openssl, xmllint,
# msitools): its entries, every block hash of its block map, the manifest's
# required declarations, and the MSI that carries it and registers it; and the
# DLL the MSI carries, read by pefile: the protections it carries into
# Explorer's process, its imports and exports.
# Windows itself (Add-AppxPackage, Explorer) is not here to ask.
set -u
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"; }
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

msix="$build/installer/MorvaneX64-menu.msix"
msi="$build/installer/MorvaneX64.msi"
[ -f "$msix" ] && [ -f "$msi" ] || { echo "FAIL: $msix or $msi not built"; exit 1; }

# Entries: the footprint files and no payload; [Content_Types].xml deflated
# (signing rewrites it deflated whatever its method), every entry sound.
expect "entries" "$(unzip -Z1 "$msix" | tr '\n' ' ')" "AppxManifest.xml AppxBlockMap.xml [Content_Types].xml "
expect "methods" "$(zipinfo "$msix" | awk '$1 ~ /^-/ { print $6 }' | tr '\n' ' ')" "stor stor defN "
python3 "$(dirname "$(readlink -f "$0")")/zip_check.py" "$msix" || fail "the package is not a sound ZIP"
unzip -p "$msix" AppxManifest.xml > "$work/manifest.xml"
unzip -p "$msix" AppxBlockMap.xml > "$work/blockmap.xml"

# Block map: the manifest alone is listed; its size, its local header's size,
# and one SHA-256 per 64 KiB, recomputed here from the bytes unzip gives.
bm() { xmllint --xpath "$1" "$work/blockmap.xml" 2>/dev/null; }
expect "block map hash method" "$(bm 'string(/*/@HashMethod)')" "http://www.w3.org/2001/04/xmlenc#sha256"
expect "block map files" "$(bm 'count(/*/*)')" 1
expect "block map file name" "$(bm 'string(/*/*/@Name)')" AppxManifest.xml
expect "block map file size" "$(bm 'string(/*/*/@Size)')" "$(stat -c %s "$work/manifest.xml")"
offset=$(zipinfo -v "$msix" AppxManifest.xml | sed -n 's/^ *offset of local header from start of archive: *\([0-9]*\).*/\1/p')
read -r name_len extra_len < <(od -An -tu2 -j $((offset + 26)) -N4 "$msix")
expect "block map LfhSize" "$(bm 'string(/*/*/@LfhSize)')" $((30 + name_len + extra_len))
(cd "$work" && split -b 65536 -d -a 4 manifest.xml block.)
blocks=("$work"/block.*)
expect "blocks" "$(bm 'count(/*/*/*)')" "${#blocks[@]}"
for i in "${!blocks[@]}"; do
  hash=$(openssl dgst -sha256 -binary "${blocks[$i]}" | base64)
  expect "hash of block $i" "$(bm "string(/*/*/*[$((i + 1))]/@Hash)")" "$hash"
done

# Manifest: the declarations Windows and Explorer need, by XPath with namespaces.
namespaces="setns p=http://schemas.microsoft.com/appx/manifest/foundation/windows10
setns uap=http://schemas.microsoft.com/appx/manifest/uap/windows10
setns uap10=http://schemas.microsoft.com/appx/manifest/uap/windows10/10
setns rescap=http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities
setns desktop4=http://schemas.microsoft.com/appx/manifest/desktop/windows10/4
setns desktop5=http://schemas.microsoft.com/appx/manifest/desktop/windows10/5
setns desktop10=http://schemas.microsoft.com/appx/manifest/desktop/windows10/10
setns com=http://schemas.microsoft.com/appx/manifest/com/windows10"
xp() { printf '%s\nxpath %s\n' "$namespaces" "$1" | xmllint --shell "$work/manifest.xml" | sed -n 's/^.*Object is a [^:]*: //p'; }
app=/p:Package/p:Applications/p:Application
# The fourth field: whole hours from 2026-01-01 UTC to the build that wrote
# the package's identity (unless set by hand), within 0..65535.
package_version=$(xp 'string(/p:Package/p:Identity/@Version)')
revision=${package_version##*.}
expect "version" "$package_version" "$(cache MORVANE_VERSION).$revision"
[ -n "$(cache MORVANE_PACKAGE_REVISION)" ] || [ -n "${SOURCE_DATE_EPOCH:-}" ] ||
  expect "revision" "$revision" $((($(stat -c %Y "$build/installer/menu-package.id") - 1767225600) / 3600))
[ "$revision" -le 65535 ] || fail "revision $revision is past 65535"
expect "publisher" "$(xp 'string(/p:Package/p:Identity/@Publisher)')" "$(cache MORVANE_PACKAGE_PUBLISHER)"
expect "external content" "$(xp 'string(/p:Package/p:Properties/uap10:AllowExternalContent)')" true
expect "target device" "$(xp "string(/p:Package/p:Dependencies/p:TargetDeviceFamily[@Name='Windows.Desktop']/@MinVersion)")" 10.0.19041.0
expect "capabilities" "$(xp "count(/p:Package/p:Capabilities/rescap:Capability[@Name='runFullTrust' or @Name='unvirtualizedResources'])")" 2
expect "application" "$(xp "count($app[@uap10:TrustLevel='mediumIL' and @uap10:RuntimeBehavior='win32App' and @Executable='Morvane.exe'])")" 1
expect "no app list entry" "$(xp "string($app/uap:VisualElements/@AppListEntry)")" none
expect "logos" "$(xp "count(//@*[contains(local-name(), 'Logo')][. = 'MorvaneX64-menu.png']) + count(/p:Package/p:Properties/p:Logo[. = 'MorvaneX64-menu.png'])")" 3
menus="$app/p:Extensions/desktop4:Extension[@Category='windows.fileExplorerContextMenus']/desktop4:FileExplorerContextMenus"
classes="$app/p:Extensions/com:Extension[@Category='windows.comServer']/com:ComServer/com:SurrogateServer/com:Class"
# One verb, "Morvane", for files, folders and drives, and its one class:
# Windows makes a flyout named after the package of a package with several verbs.
clsid=8480CFB9-F16F-414E-87AE-A4845AA7284C
expect "verbs" "$(xp "count($menus//*[local-name()='Verb'])") $(xp "count($menus/desktop5:ItemType[@Type='*' or \
  @Type='Directory']/desktop5:Verb[@Id='Morvane' and @Clsid='$clsid'])") $(xp "count($menus/desktop10:ItemType[\
  @Type='Drive']/desktop10:Verb[@Id='Morvane' and @Clsid='$clsid'])")" "3 2 1"
expect "ignorable namespaces" "$(xp 'contains(concat(" ", /p:Package/@IgnorableNamespaces, " "), " desktop10 ")')" true
expect "class" "$(xp "count($classes[@Id='$clsid' and @Path='MorvaneX64.dll' and @ThreadingModel='STA'])")" 1
expect "classes" "$(xp "count($app/p:Extensions//com:Class)")" 1

# The MSI: the files beside the DLL, the package byte for byte, the steps
# with their conditions and the Active Setup entry (package_test.cpp runs
# them under Wine's msiexec with a stand-in PowerShell; nothing here can run
# Add-AppxPackage, and no sign-in runs Active Setup).
# A table's rows without its three header lines and without CR.
table() {
  [ -f "$work/$1.tsv" ] || msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r' > "$work/$1.tsv"
  cat "$work/$1.tsv"
}
dll_component=$(table File | awk -F'\t' '$3 == "MorvaneX64.dll" { print $2 }')
directory_of() { table Component | awk -F'\t' -v c="$1" '$1 == c { print $3 }'; }
for file in MorvaneX64-menu.msix MorvaneX64-menu.png; do
  component=$(table File | awk -F'\t' -v f="$file" '$3 == f { print $2 }')
  [ -n "$component" ] || { fail "no $file in the MSI's File table"; continue; }
  expect "folder of $file" "$(directory_of "$component")" "$(directory_of "$dll_component")"
done
(cd "$work" && msiextract "$msi" >/dev/null) || fail "msiextract failed"
packed=$(find "$work" -path "$work/*/MorvaneX64-menu.msix" | head -1)
cmp -s "$packed" "$msix" || fail "the MSI does not carry the built menu package"

# The DLL: ASLR (high entropy), DEP, Control Flow Guard with a function table
# that lists every export (Explorer calls them indirectly) and both call
# pointers in read-only memory, set to their defaults; CET shadow-stack
# compatible (extended characteristics: a debug entry of type 20); no section
# both writable and executable. pefile is Debian's, hence Debian's python.
packed_dll=$(find "$work" -path "$work/*/MorvaneX64.dll" | head -1)
cmp -s "$packed_dll" "$build/MorvaneX64.dll" || fail "the MSI does not carry the built DLL"
expect "the DLL as pefile reads it" "$(/usr/bin/python3 - "$build/MorvaneX64.dll" <<'PYTHON'
import sys, pefile
pe = pefile.PE(sys.argv[1])
base = pe.OPTIONAL_HEADER.ImageBase
print("characteristics:", *[n[len("IMAGE_DLLCHARACTERISTICS_"):] for n, v in pefile.dll_characteristics
                            if pe.OPTIONAL_HEADER.DllCharacteristics & v])
config = pe.DIRECTORY_ENTRY_LOAD_CONFIG.struct
print("guard flags:", *[n for n, v in (("instrumented", 0x100), ("function-table", 0x400)) if config.GuardFlags & v])
stride = 4 + (config.GuardFlags >> 28)  # an RVA and the entry's extra bytes
table = {pe.get_dword_at_rva(config.GuardCFFunctionTable - base + i * stride) for i in range(config.GuardCFFunctionCount)}
exports = pe.DIRECTORY_ENTRY_EXPORT.symbols
print("guard functions:", "some" if table else "none",
      "with every export" if {e.address for e in exports} <= table else "without some export")
for field in ("GuardCFCheckFunctionPointer", "GuardCFDispatchFunctionPointer"):
    rva = getattr(config, field) - base
    section = pe.get_section_by_rva(rva)
    print(field + ":", "writable" if not section or section.IMAGE_SCN_MEM_WRITE else "read-only",
          "set" if section and pe.get_qword_at_rva(rva) else "null")
ex = [pe.get_dword_at_rva(d.struct.AddressOfRawData) for d in pe.DIRECTORY_ENTRY_DEBUG if d.struct.Type == 20]
print("CET compatible:", "yes" if ex and ex[0] & 1 else "no")
print("writable and executable:", *[s.Name.rstrip(b"\0").decode() for s in pe.sections
                                    if s.IMAGE_SCN_MEM_WRITE and s.IMAGE_SCN_MEM_EXECUTE] or ["none"])
print("imports:", *sorted(i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT))
print("exports:", *sorted(e.name.decode() for e in exports))
PYTHON
)" "characteristics: HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT GUARD_CF
guard flags: instrumented function-table
guard functions: some with every export
GuardCFCheckFunctionPointer: read-only set
GuardCFDispatchFunctionPointer: read-only set
CET compatible: yes
writable and executable: none
imports: advapi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll
exports: DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer RunConvertArchiveW"
expect "OS build search" "$(table RegLocator | grep -P '^OsBuildNumber\t')" \
  "$(printf 'OsBuildNumber\t2\tSOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\tCurrentBuildNumber\t18')"
expect "OS build property" "$(table AppSearch)" "$(printf 'MORVANE_OS_BUILD\tOsBuildNumber')"
expect "power shell" "$(table CustomAction | grep -P '^SetMenuPowerShell\t')" \
  "$(printf 'SetMenuPowerShell\t51\tMORVANE_POWERSHELL\t[System64Folder]WindowsPowerShell\\v1.0\\powershell.exe\t')"
# MorvaneMenuSetup.exe beside the DLL; each user's steps run it (18: an
# installed program, 64: result ignored, 1024: deferred, 256: rollback), as
# the installing user (no 2048); every rollback comes before its step.
program=$(table File | awk -F'\t' '$3 == "MorvaneMenuSetup.exe" { print $1 "|" $2 }')
expect "folder of MorvaneMenuSetup.exe" "$(directory_of "${program#*|}")" "$(directory_of "$dll_component")"
action() { table CustomAction | awk -F'\t' -v a="$1" '$1 == a { print $2 "|" $3 "|" $4 }'; }
expect "registration" "$(action RegisterMenuPackage)" "1106|MorvaneMenuSetup.exe|/register"
expect "registration's rollback" "$(action RegisterMenuPackageRollback)" "1362|MorvaneMenuSetup.exe|/unregister"
expect "removal" "$(action UnregisterMenuPackage)" "1106|MorvaneMenuSetup.exe|/unregister"
expect "removal's rollback" "$(action UnregisterMenuPackageRollback)" "1362|MorvaneMenuSetup.exe|/register"
# Every user's removal, elevated (2048): a commit action (512), or in the
# script (3186) when rollback is disabled, which runs no commit action.
all_users="-NoProfile -NonInteractive -ExecutionPolicy Bypass -Command \"Get-AppxPackage -AllUsers -Name Brantix.MorvaneShellExtension | Remove-AppxPackage -AllUsers\""
expect "removal for every user" "$(action UnregisterMenuPackageForAllUsers)" "3698|MORVANE_POWERSHELL|$all_users"
expect "removal for every user without rollback" "$(action UnregisterMenuPackageForAllUsersNoRollback)" \
  "3186|MORVANE_POWERSHELL|$all_users"
# Active Setup (HKLM, 2): StubPath runs the program for each user at
# sign-in, once per Version (the product's and the package's revision, with
# commas); always on, the program checks the Windows build.
key='SOFTWARE\Microsoft\Active Setup\Installed Components\{9058CF24-FC57-484A-91FD-164A91A6644B}'
version=$(table Property | sed -n 's/^ProductVersion\t//p')
expect "Active Setup entry" "$(table Registry | k="$key" awk -F'\t' '$3 == ENVIRON["k"] { print $2 "|" $4 "|" $5 "|" $6 }' | sort)" \
  "$(printf '%s\n' "2||Morvane shell extension (x64)|MorvaneMenuActiveSetup" \
     "2|IsInstalled|#1|MorvaneMenuActiveSetup" \
     "2|StubPath|\"[#MorvaneMenuSetup.exe]\" /register|MorvaneMenuActiveSetup" \
     "2|Version|${version//./,},$revision|MorvaneMenuActiveSetup" | sort)"
condition() { table InstallExecuteSequence | awk -F'\t' -v a="$1" '$1 == a { print $2 }'; }
user='UserSID <> "S-1-5-18"'
expect "registration step" "$(condition RegisterMenuPackage) $(condition RegisterMenuPackageRollback)" \
  "NOT REMOVE~=\"ALL\" AND $user NOT REMOVE~=\"ALL\" AND $user"
expect "removal step" "$(condition UnregisterMenuPackage) $(condition UnregisterMenuPackageRollback)" \
  "REMOVE~=\"ALL\" AND $user REMOVE~=\"ALL\" AND $user"
all='MORVANE_OS_BUILD >= 22000 AND REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE AND'
expect "removal step for every user" "$(condition UnregisterMenuPackageForAllUsers)" "$all NOT RollbackDisabled"
expect "removal step for every user without rollback" \
  "$(condition UnregisterMenuPackageForAllUsersNoRollback)" "$all RollbackDisabled"
# The order: the old product goes first, as before; the user's removal
# before the files go, the registration after the registry is written (it
# records Active Setup's version), each rollback just before its step.
order=(InstallValidate RemoveExistingProducts SetMenuPowerShell InstallInitialize UnregisterMenuPackageRollback
       UnregisterMenuPackage UnregisterMenuPackageForAllUsers UnregisterMenuPackageForAllUsersNoRollback RemoveFiles
       InstallFiles WriteRegistryValues RegisterMenuPackageRollback RegisterMenuPackage InstallFinalize)
expect "sequence" "$(table InstallExecuteSequence | sort -t$'\t' -k3 -n | cut -f1 |
  grep -xF -f <(printf '%s\n' "${order[@]}") | tr '\n' ' ')" "${order[*]} "

[ "$failures" -eq 0 ] && echo "menu package: entries, block hashes, manifest and MSI steps as expected; DLL as expected"
exit "$failures"
