#!/bin/bash
# Takes the picture of the Windows program, running under Wine, that the
# documentation shows beside the Linux one: the same steady tone as there,
# photographed once the needles have settled.
#
#   tools/screenshot_wine.sh [--dpi N] [WIN_BUILD_DIR [OUTPUT]]
#       WIN_BUILD_DIR defaults to build/win64, OUTPUT to docs/screenshot-windows.png;
#       --dpi N sets the system DPI (LogPixels) in the Wine prefix for the run
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/screenshot_common.sh
source "$root/tools/screenshot_common.sh"
read_dpi_option "$@"
shift $((${#dpi_options[@]} ? 2 : 0))
build=$(cd "${1:-$root/build/win64}" 2>/dev/null && pwd) || build=""
if [ -z "$build" ] || [ ! -f "$build/vellumtone.exe" ]; then
    echo "screenshot_wine.sh: no vellumtone.exe in ${1:-$root/build/win64}:" \
        "build it first (make windows)" >&2
    exit 1
fi
output=${2:-$root/docs/screenshot-windows.png}
case "$output" in /*) ;; *) output="$PWD/$output" ;; esac

if [ "${VELLUMTONE_SCREENSHOT_INSIDE:-}" = 1 ]; then
    photograph "$output" 300 5 wine "$build/vellumtone.exe"
    xdotool key --window "$id" alt+F4 2>/dev/null || true
    wait "$app" || true
    echo "wrote $output"
    exit 0
fi

VELLUMTONE_SCREENSHOT_INSIDE=1 exec bash "$root/tests/with_services.sh" --wine "${dpi_options[@]}" \
    bash "${BASH_SOURCE[0]}" "$build" "$output"
