#!/bin/bash
# Prints the main window's title, for the scripts that find the window by it:
# the program's own text from app/app_identity.h and the version from VERSION.
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(sed -n 's/^.*WINDOW_TITLE = "\([^"]*\)" VELLUMTONE_VERSION;.*$/\1/p' \
    "$here/app/app_identity.h")
[ -n "$prefix" ] || { echo "window_title.sh: no WINDOW_TITLE in app/app_identity.h" >&2; exit 1; }
echo "$prefix$(head -n1 "$here/VERSION")"
