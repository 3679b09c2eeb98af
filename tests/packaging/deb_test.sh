#!/bin/bash
# Installs the .deb with dpkg, checks what it placed (the desktop entry, the
# icons, the AppStream metadata), starts the installed program, checks that
# its window names the desktop entry and closes it, removes the package and
# checks that nothing stays.
# Usage: deb_test.sh PACKAGE.deb LINUX_BUILD   (as root)
set -euo pipefail
deb="$(realpath "$1")"
build="$(realpath "$2")"
here="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "deb_test: FAIL: $*" >&2; exit 1; }
tree="$(mktemp -d)"
# Whatever happens, the machine is left without the package.
trap 'dpkg --purge vellumtone >/dev/null 2>&1 || true; rm -rf "$tree"' EXIT

icon_sizes=(16 24 32 48 64 128 256)
files=(/usr/bin/vellumtone /usr/share/applications/vellumtone.desktop
       /usr/share/icons/hicolor/scalable/apps/vellumtone.svg
       /usr/share/doc/vellumtone/copyright)
for size in "${icon_sizes[@]}"; do
  files+=("/usr/share/icons/hicolor/${size}x$size/apps/vellumtone.png")
done
dpkg -i "$deb" >/dev/null || fail "dpkg -i"
for file in "${files[@]}"; do [ -e "$file" ] || fail "missing $file"; done
for size in "${icon_sizes[@]}"; do
  file "/usr/share/icons/hicolor/${size}x$size/apps/vellumtone.png" |
    grep -q "PNG image data, $size x $size," || fail "the ${size}x$size icon is not that size"
done
desktop-file-validate /usr/share/applications/vellumtone.desktop || fail "desktop entry"
dpkg -s vellumtone | grep -q '^Depends:.*libpulse' || fail "no dependency on libpulse"
dpkg -s vellumtone | grep -q '^Recommends:.*libdecor-0-plugin-1-cairo' ||
    fail "the frame's plugin for GNOME is not recommended"
# The metadata, validated in the package's own tree: validate-tree also
# finds the desktop entry that the metadata names as its launchable.
metainfo=$(dpkg -L vellumtone | grep '^/usr/share/metainfo/.*\.metainfo\.xml$') ||
  fail "no AppStream metadata"
files+=("$metainfo")
dpkg-deb -x "$deb" "$tree"
appstreamcli validate-tree --no-net "$tree" || fail "AppStream metadata"

# The installed program opens its window and ends with 0 on a close request.
# Its window's class (the X11 WM_CLASS instance, as the Wayland app_id) is
# the desktop entry's name, by which desktops find the entry's icon and
# group the window under it.
"$here/tests/with_services.sh" bash -c '
  /usr/bin/vellumtone & pid=$!
  for _ in $(seq 100); do
    window=$(xdotool search --name "^Vellumtone by" 2>/dev/null | head -n1)
    [ -n "$window" ] && break; sleep 0.1
  done
  instance=$(xprop -id "$window" WM_CLASS | sed -n "s/^WM_CLASS(STRING) = \"\([^\"]*\)\".*/\1/p")
  '"$build"'/x11_close "'"$("$here/tools/window_title.sh")"'" || exit 1
  wait $pid || exit 1
  [ "$instance" = vellumtone ] &&
    grep -qx "StartupWMClass=$instance" "/usr/share/applications/$instance.desktop" || exit 2
  ' || status=$?
case ${status:-0} in
  0) ;;
  2) fail "the window's class does not name the desktop entry" ;;
  *) fail "installed program did not run and close with 0" ;;
esac

dpkg --purge vellumtone >/dev/null || fail "dpkg --purge"
for file in "${files[@]}"; do [ ! -e "$file" ] || fail "left behind: $file"; done
[ ! -e /usr/share/doc/vellumtone ] || fail "left behind: /usr/share/doc/vellumtone"
if dpkg -s vellumtone >/dev/null 2>&1; then fail "package still known to dpkg"; fi
echo "deb_test: 1 passed, 0 failed"
