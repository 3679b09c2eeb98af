#!/bin/bash
# Takes the picture of the Windows program, running under Wine, that the
# documentation shows beside the Linux one: the same steady tone as there
# (left at 70 % of full scale, right at 45 %), photographed once the needles
# have settled.
#
#   tools/screenshot_wine.sh [WIN_BUILD_DIR [OUTPUT]]
#       WIN_BUILD_DIR defaults to build/win64, OUTPUT to docs/screenshot-windows.png
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
output=${2:-$root/docs/screenshot-windows.png}
case "$output" in /*) ;; *) output="$PWD/$output" ;; esac
title="Vellumtone by Quorrin V$(head -n1 "$root/VERSION")"

if [ "${VELLUMTONE_SCREENSHOT_INSIDE:-}" = 1 ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    perl -e '
        my $p = "";
        for my $i (0 .. 99) { my $s = $i < 50 ? 1 : -1; $p .= pack("s<s<", $s * 22937, $s * 14745); }
        binmode STDOUT; print $p x (441 * 30);' >"$work/tone.raw"
    wine "$build/vellumtone.exe" &
    app=$!
    id=""
    for _ in $(seq 300); do
        id=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
        sleep 0.1
    done
    pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le "$work/tone.raw" &
    player=$!
    sleep 5
    mkdir -p "$(dirname "$output")"
    import -window "$id" "$output"
    kill "$player" 2>/dev/null || true
    xdotool key --window "$id" alt+F4 2>/dev/null || true
    wait "$app" || true
    echo "wrote $output"
    exit 0
fi

VELLUMTONE_SCREENSHOT_INSIDE=1 exec bash "$root/tests/with_services.sh" --wine \
    bash "${BASH_SOURCE[0]}" "$build" "$output"
