#!/bin/bash
# Where a meter's running cost goes: CPU and wake-ups of each thread of the
# program, of the X server and of the sound server, while the changing
# signal plays. make cost gives each program's whole bill; this tells which
# thread pays it, and how much of it is waking up at all:
#   bench/thread_cost.sh [SECONDS] PROGRAM [ARGUMENTS...]
# e.g. bench/thread_cost.sh 10 build/linux/vellumtone, or with
# "wine build/win64/vellumtone.exe" (its processes, the wineserver among
# them, found by a marker in their environment, as make cost does). Runs
# inside a private Xvfb and PulseAudio (tests/with_services.sh); with
# THREAD_COST_WAYLAND=1 the Linux program runs natively in a private
# headless sway instead (tests/wayland_session.sh), sway in the X server's
# place.
# CPU is exact time on CPU (/proc/PID/task/TID/schedstat); a wake-up is a
# voluntary context switch (the thread slept and was woken).
# THREAD_COST_SIGNAL=steady plays the steady tone instead; THREAD_COST_HIDE=1
# hides the window once it shows (X11: unmapped; Wayland: on a workspace
# nobody looks at).
set -u
here="$(cd "$(dirname "$0")/.." && pwd)"

if [ "${1:-}" != --measure ]; then
    seconds=10
    [[ "${1:-}" =~ ^[0-9]+$ ]] && { seconds=$1; shift; }
    [ $# -gt 0 ] || { echo "usage: $0 [SECONDS] PROGRAM [ARGUMENTS...]" >&2; exit 2; }
    services=()
    [ "$1" = wine ] && services=(--wine)
    if [ -n "${THREAD_COST_WAYLAND:-}" ]; then
        exec bash "$here/tests/wayland_session.sh" bash "$0" --measure "$seconds" \
            bash -c '. "$1"; exec "${session_exec[@]}" "$(session_program "$2")"' _ \
            "$here/tests/wayland_session.sh" "$(realpath "$1")"
    fi
    exec bash "$here/tests/with_services.sh" "${services[@]}" bash "$0" --measure "$seconds" "$@"
fi
shift
seconds=$1
shift
work=$(mktemp -d)
token=thread-cost-$$
children=()
cleanup() {
    local pid
    for pid in "${children[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/signal"
perl "$here/tools/make_signal.pl" --endless "${THREAD_COST_SIGNAL:-changing}" >"$work/signal" &
children+=($!)
pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le "$work/signal" &
children+=($!)
VELLUMTONE_THREAD_COST=$token "$@" >"$work/program.log" 2>&1 &
children+=($!)
sleep 4  # started, recording and drawing
if [ -n "${THREAD_COST_HIDE:-}" ]; then
    if [ -n "${VELLUMTONE_SWAY_PID:-}" ]; then
        swaymsg '[app_id=vellumtone] move to workspace 9' >/dev/null
    else
        window=$(timeout 5 xdotool search --onlyvisible --name . | head -n 1)
        [ -n "$window" ] && timeout 5 xdotool windowunmap --sync "$window"
    fi
    sleep 1
fi

marked() {
    grep -lzx "VELLUMTONE_THREAD_COST=$token" /proc/[0-9]*/environ 2>/dev/null | awk -F/ '{print $3}'
}
sound_server() {
    local pid
    for pid in $(grep -lzx "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" /proc/[0-9]*/environ 2>/dev/null |
        awk -F/ '{print $3}'); do
        [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = pulseaudio ] && echo "$pid"
    done
}
processes="$(marked) ${VELLUMTONE_SWAY_PID:-${VELLUMTONE_XVFB_PID:-}} $(sound_server)"
# One line per thread: process/thread, name, nanoseconds on CPU, wake-ups.
snapshot() {
    local pid task
    for pid in $processes; do
        for task in /proc/"$pid"/task/*; do
            [ -r "$task/schedstat" ] || continue
            printf '%s/%s %s %s %s\n' "$pid" "${task##*/}" "$(tr ' ' _ <"$task/comm")" \
                "$(cut -d' ' -f1 "$task/schedstat")" \
                "$(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status")"
        done
    done
}
snapshot >"$work/before"
sleep "$seconds"
snapshot >"$work/after"
awk -v seconds="$seconds" '
    NR == FNR { cpu[$1] = $3; woke[$1] = $4; next }
    ($1 in cpu) {
        split($1, ids, "/")
        used = ($3 - cpu[$1]) / seconds / 1e7
        wakes = ($4 - woke[$1]) / seconds
        printf "%-16s %-18s %7.3f %% %8.1f wake-ups/s %7.1f us each\n", $1, $2, used, wakes,
            (wakes > 0 ? used * 1e4 / wakes : 0)
        sum[ids[1]] += used
        if (!(ids[1] in name)) name[ids[1]] = $2
    }
    END { for (pid in sum) printf "process %s (%s): %.3f %%\n", pid, name[pid], sum[pid] }
' "$work/before" "$work/after"
