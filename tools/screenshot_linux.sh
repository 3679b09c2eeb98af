#!/bin/bash
# Takes the picture of the Linux window that the documentation shows: the
# program on a private display, fed a steady stereo tone (left louder than
# right) through a private sound server, photographed once the needles have
# settled.
#
#   tools/screenshot_linux.sh [--dpi N] [BUILD_DIR [OUTPUT]]
#       BUILD_DIR defaults to build/linux (where make builds), OUTPUT to docs/screenshot-linux.png;
#       --dpi N sets the display's Xft.dpi (96 when not given);
#       VELLUMTONE_SETTINGS=FILE starts the program with FILE as its
#       settings file (the reading aids turned on, say)
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/screenshot_common.sh
source "$root/tools/screenshot_common.sh"
read_dpi_option "$@"
shift $((${#dpi_options[@]} ? 2 : 0))
build=$(cd "${1:-$root/build/linux}" 2>/dev/null && pwd) || build=""
if [ -z "$build" ] || [ ! -x "$build/vellumtone" ] || [ ! -x "$build/x11_close" ]; then
    echo "screenshot_linux.sh: no vellumtone and x11_close in ${1:-$root/build/linux}:" \
        "build them first (make linux-program)" >&2
    exit 1
fi
output=${2:-$root/docs/screenshot-linux.png}
case "$output" in /*) ;; *) output="$PWD/$output" ;; esac

if [ "${VELLUMTONE_SCREENSHOT_INSIDE:-}" = 1 ]; then
    if [ -n "${VELLUMTONE_SETTINGS:-}" ]; then
        mkdir -p "$XDG_CONFIG_HOME/vellumtone"
        cp "$VELLUMTONE_SETTINGS" "$XDG_CONFIG_HOME/vellumtone/vellumtone.ini"
    fi
    photograph "$output" 100 3 "$build/vellumtone"
    "$build/x11_close" "$title" && wait "$app"
    echo "wrote $output"
    exit 0
fi

VELLUMTONE_SCREENSHOT_INSIDE=1 exec bash "$root/tests/with_services.sh" "${dpi_options[@]}" \
    bash "${BASH_SOURCE[0]}" "$build" "$output"
