#!/bin/bash
# What a running meter costs: the exact CPU time of all its threads (first
# field of /proc/PID/task/*/schedstat) and that of its X server, each program
# alone on its own virtual display with its own PulseAudio server (from
# tests/with_services.sh), over a steady 440 Hz tone and over one whose level
# sweeps 5%..95% and back every 2 s, so that the needles never rest.
#
#   running_cost.sh [-s SECONDS] [-n RUNS] LINUX_BUILD WHAT...
#
# WHAT is any of:
#   linux   LINUX_BUILD/vellumtone
#   wine    vellumtone.exe of WIN_BUILD (default build/win64) under Wine; the
#           exe's process and the prefix's wineserver are counted apart
#   floor   LINUX_BUILD/cost_floor: timer, semaphore, scan and recording only
#   peer    pavumeter --record, a PulseAudio meter at about 25 updates/s
# Figures are per cent of one core. Several helpers may share the machine:
# repeat with -n and read the medians it prints.
set -u
seconds=20
runs=1
while getopts "s:n:" option; do
  case $option in
    s) seconds=$OPTARG ;;
    n) runs=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
build="$(realpath "${1:?usage: running_cost.sh [-s SECONDS] [-n RUNS] LINUX_BUILD WHAT...}")"
shift
here="$(cd "$(dirname "$0")/.." && pwd)"
win_build="$(realpath "${WIN_BUILD:-$here/build/win64}")"
signals=$(mktemp -d "${TMPDIR:-/tmp}/vellumtone-cost.XXXXXX")
trap 'rm -rf "$signals"' EXIT

# 44100 Hz stereo 16-bit: a constant tone at half scale, and one whose level
# runs up from 5% to 95% in one second and back down in the next.
make_tone() {  # kind seconds > file
  perl -e '
    my ($kind, $seconds) = @ARGV; binmode STDOUT;
    my $rate = 44100; my $out = "";
    for my $i (0 .. $rate * $seconds - 1) {
      my $t = $i / $rate; my $level = 0.5;
      if ($kind eq "changing") { my $p = $t - 2 * int($t / 2); $level = 0.05 + 0.9 * ($p < 1 ? $p : 2 - $p); }
      my $s = int(32767 * $level * sin(2 * 3.14159265358979 * 440 * $t));
      $out .= pack("s<s<", $s, $s);
      if (length($out) > 65536) { print $out; $out = ""; }
    }
    print $out;' "$1" "$2"
}
make_tone steady $((seconds + 8)) >"$signals/steady.raw"
make_tone changing $((seconds + 8)) >"$signals/changing.raw"

export BUILD="$build" WIN_BUILD="$win_build" SECONDS_EACH="$seconds" HERE="$here" SIGNALS="$signals"

measure_once() {  # what -> "steady_prog steady_x steady_server changing_prog changing_x changing_server"
  local extra=()
  [ "$1" = wine ] && extra=(--wine)
  "$here/tests/with_services.sh" "${extra[@]}" bash -c '
    what=$1
    ns() {  # pids... -> nanoseconds on CPU of all their threads
      local total=0 pid f a
      for pid in "$@"; do
        for f in /proc/"$pid"/task/*/schedstat; do
          read -r a _ <"$f" 2>/dev/null && total=$((total + a))
        done
      done
      echo "$total"
    }
    mine() {  # comm -> pid of that process on this display
      local p
      for p in $(pgrep -x "$1"); do
        tr "\0" "\n" <"/proc/$p/environ" 2>/dev/null | grep -qx "DISPLAY=$DISPLAY" && { echo "$p"; return; }
      done
    }
    xvfb=$(tr -d " " <"/tmp/.X${DISPLAY#:}-lock")
    case $what in
      linux) "$BUILD/vellumtone" & started=$! ;;
      floor) "$BUILD/cost_floor" & started=$! ;;
      peer) pavumeter --record >/dev/null 2>&1 & started=$! ;;
      wine) wine "$WIN_BUILD/vellumtone.exe" & started=$! ;;
    esac
    sleep 4
    program=$started server=""
    if [ "$what" = wine ]; then
      # The wineserver of the prefix works in a directory named after the
      # device and inode of the prefix.
      want=$(printf "server-%x-%x" $(stat -c "%d %i" "$WINEPREFIX"))
      for p in $(pgrep wineserver); do
        case "$(readlink /proc/$p/cwd)" in */$want) server=$p ;; esac
      done
      program=$(mine vellumtone.exe)
      for _ in $(seq 50); do [ -n "$program" ] && break; sleep 0.2; program=$(mine vellumtone.exe); done
    fi
    out=""
    for kind in steady changing; do
      pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le <"$SIGNALS/$kind.raw" & player=$!
      sleep 3
      p0=$(ns $program); x0=$(ns $xvfb); s0=$(ns $server); t0=$(date +%s%N)
      sleep "$SECONDS_EACH"
      p1=$(ns $program); x1=$(ns $xvfb); s1=$(ns $server); t1=$(date +%s%N)
      kill $player 2>/dev/null; wait $player 2>/dev/null
      span=$((t1 - t0))
      out="$out $(awk -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v s=$((s1 - s0)) -v t=$span \
        "BEGIN {printf \"%.3f %.3f %.3f\", 100 * p / t, 100 * x / t, 100 * s / t}")"
    done
    kill "$started" 2>/dev/null; wait "$started" 2>/dev/null
    echo "$out"
  ' measure "$1"
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

for what in "$@"; do
  results=()
  for run in $(seq "$runs"); do
    line=$(measure_once "$what" | tail -n 1)
    results+=("$line")
    read -r sp sx ss cp cx cs <<<"$line"
    printf '%-6s run %d: steady program %s%% X %s%% (server %s%%) | changing program %s%% X %s%% (server %s%%)\n' \
      "$what" "$run" "$sp" "$sx" "$ss" "$cp" "$cx" "$cs"
  done
  if [ "$runs" -gt 1 ]; then
    col() { for r in "${results[@]}"; do echo "$r" | awk -v c="$1" '{print $c}'; done | median; }
    printf '%-6s median of %d: steady program %s%% X %s%% (server %s%%) | changing program %s%% X %s%% (server %s%%)\n' \
      "$what" "$runs" "$(col 1)" "$(col 2)" "$(col 3)" "$(col 4)" "$(col 5)" "$(col 6)"
  fi
done
