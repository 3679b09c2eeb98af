#!/bin/bash
# What the running Linux program costs: CPU time and resident memory over a
# stretch of silence and over a stretch of a changing signal, on a private
# display and sound server. Usage: running_cost.sh LINUX_BUILD [SECONDS]
set -u
build="$(realpath "${1:-build/linux}")"
seconds="${2:-10}"
here="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD="$build" SECONDS_EACH="$seconds" HERE="$here"
"$here/tests/with_services.sh" bash -c '
  ticks=$(getconf CLK_TCK)
  cpu() { awk "{print \$14 + \$15}" /proc/$1/stat; }
  rss() { awk "/VmRSS/ {print \$2}" /proc/$1/status; }
  "$BUILD/vellumtone" & pid=$!
  sleep 2
  start=$(cpu $pid); sleep "$SECONDS_EACH"; end=$(cpu $pid)
  echo "silence: cpu $(( (end - start) * 1000 / ticks / SECONDS_EACH )) ms per second, rss $(rss $pid) KiB"
  # A sweep of amplitudes, so that the needles keep moving.
  perl -e "binmode STDOUT; for my \$b (0 .. 44100 * ($SECONDS_EACH + 4) / 2048) {
      my \$a = int(16000 + 15000 * sin(\$b / 7)); my \$c = pack(\"s<s<\", \$a, \$a / 2) x 50 .
      pack(\"s<s<\", -\$a, -\$a / 2) x 50; print substr(\$c x 21, 0, 2048 * 4) }" |
    pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le & player=$!
  sleep 2
  start=$(cpu $pid); sleep "$SECONDS_EACH"; end=$(cpu $pid)
  echo "moving needles: cpu $(( (end - start) * 1000 / ticks / SECONDS_EACH )) ms per second, rss $(rss $pid) KiB"
  kill $player 2>/dev/null; wait $player 2>/dev/null
  "$BUILD/x11_close" "Vellumtone by Quorrin V$(head -n1 "$HERE/VERSION")" >/dev/null
  wait $pid
'
