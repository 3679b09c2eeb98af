#!/bin/bash
# Takes the picture of the Linux window that the documentation shows: the
# program on a private display, fed a steady stereo tone (left louder than
# right) through a private sound server, photographed once the needles have
# settled. There is no window manager on that display, so the picture is the
# client area alone.
#
#   tools/screenshot_linux.sh [BUILD_DIR [OUTPUT]]
#       BUILD_DIR defaults to build, OUTPUT to docs/screenshot-linux.png
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
output=${2:-$root/docs/screenshot-linux.png}
case "$output" in /*) ;; *) output="$PWD/$output" ;; esac
title="Vellumtone by Quorrin V$(head -n1 "$root/VERSION")"

if [ "${VELLUMTONE_SCREENSHOT_INSIDE:-}" = 1 ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # A 441 Hz square wave: left at 70 % of full scale, right at 45 %.
    perl -e '
        my $p = "";
        for my $i (0 .. 99) { my $s = $i < 50 ? 1 : -1; $p .= pack("s<s<", $s * 22937, $s * 14745); }
        binmode STDOUT; print $p x (441 * 20);' >"$work/tone.raw"
    "$build/vellumtone" &
    app=$!
    id=""
    for _ in $(seq 100); do
        id=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
        sleep 0.1
    done
    pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le "$work/tone.raw" &
    player=$!
    sleep 3
    mkdir -p "$(dirname "$output")"
    import -window "$id" "$output"
    kill "$player" 2>/dev/null || true
    "$build/x11_close" "$title" && wait "$app"
    echo "wrote $output"
    exit 0
fi

VELLUMTONE_SCREENSHOT_INSIDE=1 exec bash "$root/tests/with_services.sh" \
    bash "${BASH_SOURCE[0]}" "$build" "$output"
