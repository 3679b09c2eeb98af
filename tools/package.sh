#!/bin/bash
# Builds the user packages from finished builds:
#   vellumtone-VERSION-win64.zip      the .exe, the licence and a short readme
#   vellumtone-VERSION-win64-setup.exe an NSIS installer for all users
#   vellumtone_VERSION_amd64.deb       the Linux program with desktop entry and icons
# Usage: package.sh LINUX_BUILD WIN_BUILD OUT_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
linux_build="$(cd "$1" && pwd)"
win_build="$(cd "$2" && pwd)"
mkdir -p "$3"
out="$(cd "$3" && pwd)"
version="$(head -n1 "$here/VERSION")"
name="vellumtone-$version-win64"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name"
cp "$win_build/vellumtone.exe" "$stage/$name/"
x86_64-w64-mingw32-strip "$stage/$name/vellumtone.exe"
sed 's/$/\r/' "$here/LICENSE" > "$stage/$name/LICENSE.txt"
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$here/packaging/windows/readme.txt" > "$stage/$name/readme.txt"
rm -f "$out/$name.zip"
(cd "$stage" && zip -q -r "$out/$name.zip" "$name")
makensis -V2 -DVERSION="$version" -DSOURCE_DIR="$stage/$name" \
  -DOUT_FILE="$out/$name-setup.exe" "$here/packaging/windows/vellumtone.nsi"

(cd "$linux_build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls -1 "$out"
