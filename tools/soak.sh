#!/bin/bash
# Soak test of the Linux program: runs it for SOAK_SECONDS (600 by default)
# on a private virtual display and sound server (SOAK_SOUND=pipewire for
# PipeWire, else PulseAudio) under a signal that changes every five seconds,
# kills the sound server half way through and starts a new one SOAK_OUTAGE
# seconds (5 by default) later, while the program tries to reconnect. Every 30 seconds it prints the program's resident memory (VmRSS),
# open descriptors, threads and the CPU it used since the last line (exact
# run time of all its threads). At the end a steady tone plays and the
# needles must show it pixel for pixel (readings 51 and 25), proving they
# followed the sound after the restart.
#
#   tools/soak.sh [BUILD_DIR]      (build/linux by default; make soak)
set -u

build=$(cd "${1:-build/linux}" && pwd)
e2e_name=soak
e2e_args=("$build")
native=$build
program=("$build/vellumtone")
window_wait=150
exit_wait=100
soak_seconds=${SOAK_SECONDS:-600}
outage_seconds=${SOAK_OUTAGE:-5}
case_timeout=$((soak_seconds + 180))
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/e2e_helpers.sh"

cpu_ns() {  # pid: nanoseconds on CPU, summed over its threads
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{sum += $1} END {printf "%.0f", sum}'
}

# One line of figures; the CPU share is over the time since the last line.
report() {  # seconds since the start
    local rss fds threads cpu now_ns
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$app_pid/status")
    fds=$(find "/proc/$app_pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
    threads=$(find "/proc/$app_pid/task" -mindepth 1 -maxdepth 1 | wc -l)
    cpu=$(cpu_ns "$app_pid")
    now_ns=$(date +%s%N)
    printf '%6d s  VmRSS %6d kB  descriptors %3d  threads %2d  CPU %s\n' "$1" "$rss" "$fds" \
        "$threads" "$(awk -v c=$((cpu - last_cpu)) -v t=$((now_ns - last_ns)) \
            'BEGIN {if (t < 1e9) print "-"; else printf "%.2f %%", 100 * c / t}')"
    last_cpu=$cpu
    last_ns=$now_ns
}

# Plays the changing signal again and again, through whatever server runs.
changing_signal() {
    local level
    for level in 8000 16000 24576 32767 0 12000; do
        perl "$root/tools/make_signal.pl" --sine "$level" $((level / 2)) 5
    done >"$work/changing.raw"
    (
        trap 'kill "$player" 2>/dev/null; exit 0' TERM
        while :; do
            pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le \
                "$work/changing.raw" 2>/dev/null &
            player=$!
            wait "$player" || sleep 1
        done
    ) &
    changing_pid=$!
}

case_soak() {
    local id ox oy w h ok=0 start elapsed=0 next_report=30 last_cpu last_ns state=up
    local kill_at=$((soak_seconds / 2)) restart_at=$((soak_seconds / 2 + outage_seconds))
    open_window "$VELLUMTONE_SOUND" || return 1
    changing_signal
    start=$SECONDS
    last_cpu=$(cpu_ns "$app_pid")
    last_ns=$(date +%s%N)
    echo "soak: ${soak_seconds} s on $VELLUMTONE_SOUND; no server from $kill_at s to $restart_at s"
    report 0
    while [ "$elapsed" -lt "$soak_seconds" ]; do
        sleep 1
        elapsed=$((SECONDS - start))
        if [ "$state" = up ] && [ "$elapsed" -ge "$kill_at" ]; then
            echo "soak: killing the sound server at $elapsed s"
            "$VELLUMTONE_SOUND_SERVER" kill
            state=down
        elif [ "$state" = down ] && [ "$elapsed" -ge "$restart_at" ]; then
            "$VELLUMTONE_SOUND_SERVER" start "$VELLUMTONE_SOUND" || { log "no new server"; ok=1; }
            echo "soak: a new sound server answers at $((SECONDS - start)) s"
            state=again
        fi
        kill -0 "$app_pid" 2>/dev/null || { log "the program ended"; return 1; }
        if [ "$elapsed" -ge "$next_report" ]; then
            report "$elapsed"
            next_report=$((next_report + 30))
        fi
    done
    [ "$state" = again ] || { log "the server was not started again"; ok=1; }
    kill "$changing_pid"
    wait "$changing_pid" 2>/dev/null
    play_signal --sine 16545 8111 30
    if expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 15; then
        echo "soak: the needles follow the sound after the restart (readings 51 and 25)"
    else
        log "the needles do not show the steady tone after the restart"
        ok=1
    fi
    stop_player
    close_with_delete_window || { log "close failed"; ok=1; }
    return $ok
}

case_pulse() { case_soak; }
case_pipewire() { case_soak; }

run_named_case
prepare_run "$build/vellumtone"
if [ "${SOAK_SOUND:-pulse}" = pipewire ]; then
    run_case pipewire --pipewire
else
    run_case pulse
fi
report_and_exit
