#!/bin/bash
# Starts the Linux meter. On a desktop it simply runs. Without a display it
# says so and shows the program working anyway: a virtual display and a
# private sound server playing a test signal, screenshots saved as PNG files,
# then the meter is closed and the script exits with 0.
set -u
build="${1:-build/linux}"
here="$(cd "$(dirname "$0")/.." && pwd)"
program="$build/vellumtone"
[ -x "$program" ] || { echo "run: $program is missing; build it with 'make linux'" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$program"
fi

echo "No display here: showing the meter on a virtual display with a test signal instead."
out="${VELLUMTONE_SHOTS:-$here/build/screenshots}"
mkdir -p "$out"
export VELLUMTONE_PROGRAM="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
export VELLUMTONE_CLOSE="$(dirname "$VELLUMTONE_PROGRAM")/x11_close"
export VELLUMTONE_TITLE="Vellumtone by Quorrin V$(head -n1 "$here/VERSION")"
export VELLUMTONE_OUT="$out" VELLUMTONE_HERE="$here"
"$here/tests/with_services.sh" bash -c '
  set -u
  perl "$VELLUMTONE_HERE/tools/make_signal.pl" 24000 12000 30 |
    pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le &
  player=$!
  "$VELLUMTONE_PROGRAM" &
  meter=$!
  window=root
  for _ in $(seq 100); do
    id=$(xdotool search --name "^$VELLUMTONE_TITLE\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { window=$id; break; }
    sleep 0.1
  done
  sleep 3
  import -window "$window" "$VELLUMTONE_OUT/vellumtone-running.png"
  # One signal at a time: two mixed square waves could cancel out.
  kill $player 2>/dev/null
  wait $player 2>/dev/null
  perl "$VELLUMTONE_HERE/tools/make_signal.pl" 32767 32767 5 |
    pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le &
  loud=$!
  sleep 2
  import -window "$window" "$VELLUMTONE_OUT/vellumtone-overload.png"
  kill $loud 2>/dev/null
  wait $loud 2>/dev/null
  # A close request, as the window manager would send it.
  "$VELLUMTONE_CLOSE" "$VELLUMTONE_TITLE" || kill -TERM $meter 2>/dev/null
  wait $meter
  echo "The meter closed with exit code $?."
'
echo "Screenshots:"
ls -1 "$out"/vellumtone-*.png
exit 0
