#!/bin/bash
# Installs the .deb with dpkg, checks what it placed, starts the installed
# program and closes it, removes the package and checks that nothing stays.
# Usage: deb_test.sh PACKAGE.deb LINUX_BUILD   (as root)
set -euo pipefail
deb="$(realpath "$1")"
build="$(realpath "$2")"
here="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "deb_test: FAIL: $*" >&2; exit 1; }
# Whatever happens, the machine is left without the package.
trap 'dpkg --purge vellumtone >/dev/null 2>&1 || true' EXIT

files=(/usr/bin/vellumtone /usr/share/applications/vellumtone.desktop
       /usr/share/icons/hicolor/scalable/apps/vellumtone.svg
       /usr/share/icons/hicolor/48x48/apps/vellumtone.png
       /usr/share/doc/vellumtone/copyright)
dpkg -i "$deb" >/dev/null || fail "dpkg -i"
for file in "${files[@]}"; do [ -e "$file" ] || fail "missing $file"; done
desktop-file-validate /usr/share/applications/vellumtone.desktop || fail "desktop entry"
dpkg -s vellumtone | grep -q '^Depends:.*libpulse' || fail "no dependency on libpulse"

# The installed program opens its window and ends with 0 on a close request.
"$here/tests/with_services.sh" bash -c '
  /usr/bin/vellumtone & pid=$!
  for _ in $(seq 100); do
    xdotool search --name "^Vellumtone by" >/dev/null 2>&1 && break; sleep 0.1
  done
  '"$build"'/x11_close "'"$("$here/tools/window_title.sh")"'" || exit 1
  wait $pid' || fail "installed program did not run and close with 0"

dpkg --purge vellumtone >/dev/null || fail "dpkg --purge"
for file in "${files[@]}"; do [ ! -e "$file" ] || fail "left behind: $file"; done
[ ! -e /usr/share/doc/vellumtone ] || fail "left behind: /usr/share/doc/vellumtone"
if dpkg -s vellumtone >/dev/null 2>&1; then fail "package still known to dpkg"; fi
echo "deb_test: 1 passed, 0 failed"
