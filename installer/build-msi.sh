#!/usr/bin/env bash
# build-msi.sh WIXL MSIX VERSION OUTPUT WIXL_ARGUMENTS...: one MSI of the
# product VERSION. wixl builds it, with the Active Setup version: VERSION and
# the revision (fourth field) of the menu package MSIX that it carries, with
# commas, so that a rebuild registers its package again for every user. msibuild then gives the actions that wixl 0.101
# cannot write (no rollback or commit actions) their types:
#   1362 = 18 (an installed program) + 64 (result ignored) + 256 (rollback)
#          + 1024 (in the script), as the installing user;
#   3698 = 50 (a program named by a property) + 64 + 512 (commit) + 1024
#          + 2048 (the installer service's account).
set -eu
wixl=$1 msix=$2 version=$3 out=$4
shift 4
package_version=$(unzip -p "$msix" AppxManifest.xml |
  xmllint --xpath 'string(/*[local-name()="Package"]/*[local-name()="Identity"]/@Version)' -)
[[ "$package_version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "build-msi: no version in $msix" >&2; exit 1; }
rm -f "$out.tmp"
"$wixl" "$@" -D ActiveSetupVersion="${version//./,},${package_version##*.}" -o "$out.tmp"
action='UPDATE `CustomAction` SET `Type` = %d WHERE `Action` = '"'%s'"
msibuild "$out.tmp" \
  -q "$(printf "$action" 1362 RegisterMenuPackageRollback)" \
  -q "$(printf "$action" 1362 UnregisterMenuPackageRollback)" \
  -q "$(printf "$action" 3698 UnregisterMenuPackageForAllUsers)"
mv -f "$out.tmp" "$out"
