#!/bin/bash
# Installs the Windows installer silently under Wine, checks the program,
# shortcut and uninstall entry, starts the installed program and closes it,
# uninstalls silently and checks that nothing stays behind.
# Usage: installer_wine_test.sh SETUP.exe LINUX_BUILD
set -euo pipefail
setup="$(realpath "$1")"
build="$(realpath "$2")"
here="$(cd "$(dirname "$0")/../.." && pwd)"
version="$(head -n1 "$here/VERSION")"
export SETUP="$setup" BUILD="$build" TITLE="$("$here/tools/window_title.sh")"

"$here/tests/with_services.sh" --wine bash -c '
  set -u
  fail() { echo "installer_wine_test: FAIL: $*" >&2; exit 1; }
  root="$WINEPREFIX/drive_c"
  dir="$root/Program Files/Vellumtone"
  shortcut="$root/ProgramData/Microsoft/Windows/Start Menu/Programs/Vellumtone.lnk"
  key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vellumtone"

  wine "$SETUP" /S; wineserver -w
  for file in vellumtone.exe LICENSE.txt readme.txt uninstall.exe; do
    [ -f "$dir/$file" ] || fail "missing $file"
  done
  [ -f "$shortcut" ] || fail "missing Start-menu shortcut"
  wine reg query "$key" /v DisplayVersion 2>/dev/null | grep -q "'"$version"'" || fail "no uninstall entry"

  wine "C:\\Program Files\\Vellumtone\\vellumtone.exe" & pid=$!
  for _ in $(seq 300); do
    xdotool search --name "^Vellumtone by" >/dev/null 2>&1 && break; sleep 0.1
  done
  sleep 1
  "$BUILD/x11_close" "$TITLE" || fail "no window to close"
  wait $pid || fail "installed program ended with $?"

  wine "C:\\Program Files\\Vellumtone\\uninstall.exe" /S; wineserver -w
  [ ! -e "$dir" ] || fail "left behind: $(ls "$dir")"
  [ ! -e "$shortcut" ] || fail "left behind: shortcut"
  if wine reg query "$key" >/dev/null 2>&1; then fail "left behind: uninstall entry"; fi
  echo "installer_wine_test: 1 passed, 0 failed"
'
