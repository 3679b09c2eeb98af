#!/bin/bash
# What it costs to leave each meter running, measured one program at a time,
# each on its own virtual display with its own PulseAudio server playing the
# same signals, and written to docs/performance.md with a chart:
#   bench/running_cost.sh [LINUX_BUILD] [WIN_BUILD]
# The programs: the Linux program, the .exe under Wine, pavumeter --record
# (Debian's package, for comparison; measured only) and the floor program
# (bench/floor_meter.cpp: records and scans, draws nothing); and the signal
# alone, for the sound server's share of each program's bill. One that is
# missing is reported as skipped. Environment:
#   COST_RUNS      runs per program and signal, the median is reported (3)
#   COST_SECONDS   seconds measured per run (30)
#   COST_WARMUP    seconds between the program being ready and measuring (3)
#   COST_COUNT_SECONDS  seconds in which pictures are counted, after the CPU (5)
#   COST_OUT       folder for performance.md and performance.png (docs)
#   COST_READY_WAIT  seconds a program may take to record and show (60)
#   COST_ONLY      the rows to measure, by name, space-separated (all): e.g.
#                  "wayland pavumeter" for the Wayland program beside its peer
#   COST_SETTINGS  a settings file the program starts with (the comparison
#                  sets it for linux-aids: the reading aids all on)
#   VELLUMTONE_WINEPREFIX  the Wine prefix; nothing else may run in it, so
#                  that its wineserver is the one the .exe starts and serves
#                  the .exe alone (default $TMPDIR/vellumtone-cost-wineprefix)
# The Linux program is measured on X11 (Xvfb) and natively on Wayland (a
# private headless sway, tests/wayland_session.sh), there also with its
# window hidden on a workspace nobody looks at; on X11 also with its window
# unmapped.
# Per run: CPU time from /proc/PID/task/*/schedstat (exact nanoseconds on
# CPU, all threads) of the program's processes and of the display server
# (the X server, or the compositor), PSS
# from /proc/PID/smaps_rollup, and pictures shown per second counted by
# damage_counter right after the CPU (the counter's own X events would
# weigh on the CPU figures); on Wayland, the buffers the program attaches,
# counted from its protocol log in a run of its own right after (the log's
# own cost would weigh on the CPU figures). Raw figures go to
# LINUX_BUILD/cost/results.tsv.
set -u
here="$(cd "$(dirname "$0")/.." && pwd)"

# ------------------------------------------------------------ one measurement
# Runs inside tests/with_services.sh (DISPLAY, PULSE_SERVER, XDG_RUNTIME_DIR
# set), or inside tests/wayland_session.sh (VELLUMTONE_SWAY_PID set too):
#   --measure NAME SIGNAL RESULT_FILE COMMAND...
# COST_HIDE=1 hides the program's window: on a workspace not shown
# (Wayland), or unmapped (X11).
if [ "${1:-}" = "--measure" ]; then
    name=$2 signal=$3 result=$4
    shift 4
    work=$(mktemp -d "${TMPDIR:-/tmp}/vellumtone-cost.XXXXXX")
    token="vellumtone-cost-$$-$RANDOM"
    app_pid="" player_pid="" generator_pid="" counter_pid=""
    say() { echo "running_cost: $name, $signal: $*" >&2; }

    # Every process the program's command starts carries the token in its
    # environment: for Wine that is the .exe, the wineserver it starts and
    # the helper processes (services.exe, explorer.exe, ...).
    token_pids() {
        grep -lzx "VELLUMTONE_COST_RUN=$token" /proc/[0-9]*/environ 2>/dev/null |
            awk -F/ '{print $3}'
    }
    stop_pid() {  # pid: TERM, up to 3 s to end, then KILL
        local pid=$1
        [ -n "$pid" ] || return 0
        kill "$pid" 2>/dev/null || return 0
        for _ in $(seq 30); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    }
    cleanup() {
        stop_pid "$counter_pid"
        stop_pid "$app_pid"
        if [ -n "${WINEPREFIX:-}" ]; then timeout 10 wineserver -k >/dev/null 2>&1; fi
        local pid
        for pid in $(token_pids); do stop_pid "$pid"; done
        stop_pid "$player_pid"
        stop_pid "$generator_pid"
        rm -rf "$work"
    }
    trap cleanup EXIT

    # pids -> "pid tid ns" per thread: nanoseconds on CPU so far.
    thread_times() {
        local pid files=()
        for pid in "$@"; do files+=(/proc/"$pid"/task/*/schedstat); done
        [ ${#files[@]} -gt 0 ] || return 0
        grep -H '' "${files[@]}" 2>/dev/null | awk -F'[/: ]' '{print $3, $5, $7}'
    }
    # before after -> "pid ns" per process: its threads' time between the two
    # (a thread that started in between counts from its start; one that
    # ended in between is not seen at the end and so not counted).
    window_ns() {
        awk 'NR == FNR {before[$2] = $3; next}
            {sum[$1] += $3 - ($2 in before ? before[$2] : 0)}
            END {for (pid in sum) printf "%s %.0f\n", pid, sum[pid]}' "$1" "$2"
    }
    pss_kib() {
        local pid
        for pid in "$@"; do awk '/^Pss:/ {print $2}' /proc/"$pid"/smaps_rollup 2>/dev/null; done |
            awk '{s += $1} END {print s + 0}'
    }
    # The sound server of this run: the pulseaudio whose runtime folder is ours.
    pulse_pid=""
    for pid in $(grep -lzx "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" /proc/[0-9]*/environ 2>/dev/null |
        awk -F/ '{print $3}'); do
        [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = pulseaudio ] && pulse_pid=$pid
    done
    wayland=""
    if [ -n "${VELLUMTONE_SWAY_PID:-}" ]; then
        wayland=1
        xvfb_pid=$VELLUMTONE_SWAY_PID
    else
        xvfb_pid=$(tr -d ' \n' <"/tmp/.X${DISPLAY#:}-lock" 2>/dev/null)
    fi
    window_shown() {
        if [ -n "$wayland" ]; then
            timeout 5 swaymsg -t get_tree 2>/dev/null | grep -q '"app_id": "vellumtone"'
        else
            [ -n "$(timeout 5 xdotool search --onlyvisible --name . 2>/dev/null)" ]
        fi
    }
    # Started, recording and showing a window unless it has none; hidden
    # when asked.
    wait_ready() {
        local _
        for _ in $(seq "${COST_READY_WAIT:-60}0"); do
            kill -0 "$app_pid" 2>/dev/null || return 1
            # The signal alone records nothing and shows nothing.
            [ "$name" = signal ] && return 0
            if [ -n "$(timeout 5 pactl list short source-outputs 2>/dev/null)" ] &&
                { [ "$name" = floor ] || window_shown; }; then
                if [ -n "${COST_HIDE:-}" ] && [ -n "$wayland" ]; then
                    swaymsg '[app_id=vellumtone] move to workspace 9' >/dev/null || return 1
                elif [ -n "${COST_HIDE:-}" ]; then
                    # Unmapped, as an icon is where no window manager runs.
                    local id
                    id=$(timeout 5 xdotool search --onlyvisible --name . | head -n 1)
                    [ -n "$id" ] && timeout 5 xdotool windowunmap --sync "$id" || return 1
                fi
                return 0
            fi
            sleep 0.1
        done
        return 1
    }

    mkfifo "$work/signal"
    perl "$here/tools/make_signal.pl" --endless "$signal" >"$work/signal" &
    generator_pid=$!
    pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le "$work/signal" &
    player_pid=$!

    if [ -n "${COST_SETTINGS:-}" ]; then
        mkdir -p "$XDG_CONFIG_HOME/vellumtone"
        cp "$COST_SETTINGS" "$XDG_CONFIG_HOME/vellumtone/vellumtone.ini"
    fi
    VELLUMTONE_COST_RUN=$token "$@" >"$work/program.log" 2>&1 &
    app_pid=$!

    if ! wait_ready; then
        say "the program did not start recording and showing a window"
        sed 's/^/  program: /' "$work/program.log" | grep -v XGetInputFocus | tail -n 20 >&2
        exit 1
    fi
    sleep "$COST_WARMUP"

    mapfile -t pids < <(token_pids)
    started=$EPOCHREALTIME
    thread_times "${pids[@]}" >"$work/before"
    thread_times "$xvfb_pid" >"$work/x-before"
    thread_times "$pulse_pid" >"$work/sound-before"
    sleep "$COST_SECONDS"
    mapfile -t pids < <(token_pids)
    thread_times "${pids[@]}" >"$work/after"
    thread_times "$xvfb_pid" >"$work/x-after"
    thread_times "$pulse_pid" >"$work/sound-after"
    ended=$EPOCHREALTIME
    pss=$(pss_kib "${pids[@]}")
    # The .exe's own share, for the Wine note: the process started first.
    own_pss=$(pss_kib "$app_pid")

    if ! kill -0 "$app_pid" 2>/dev/null; then
        say "the program ended during the measurement"
        exit 1
    fi
    window_ns "$work/before" "$work/after" >"$work/program"
    processes=$(while read -r pid ns; do
        printf '%s:%s\n' "$(tr ' :,' '___' </proc/"$pid"/comm 2>/dev/null || echo ended)" "$ns"
    done <"$work/program" | paste -sd,)
    requests="-" pixels="-" counted="-"
    if [ -n "$wayland" ]; then
        # The same program again with its protocol log: the pictures it
        # hands the compositor are the buffers it attaches.
        count_seconds=${COST_COUNT_SECONDS:-5}
        stop_pid "$app_pid"
        WAYLAND_DEBUG=client VELLUMTONE_COST_RUN=$token "$@" >/dev/null 2>"$work/protocol.log" &
        app_pid=$!
        if wait_ready; then
            sleep "$COST_WARMUP"
            first=$(grep -c '\.attach(wl_buffer' "$work/protocol.log")
            sleep "$count_seconds"
            last=$(grep -c '\.attach(wl_buffer' "$work/protocol.log")
            requests=$((last - first)) pixels="-" counted=$count_seconds
        fi
    elif [ -x "$DAMAGE_COUNTER" ]; then
        count_seconds=${COST_COUNT_SECONDS:-5}
        timeout $((count_seconds + 10)) "$DAMAGE_COUNTER" "$count_seconds" >"$work/counter.out" \
            2>"$work/counter.err" &
        counter_pid=$!
        wait "$counter_pid"
        counter_pid=""
        read -r requests pixels counted <"$work/counter.out" ||
            { requests="-" pixels="-" counted="-"; }
    fi
    sum() { awk '{s += $2} END {printf "%.0f", s}' "$@"; }
    program_ns=$(sum "$work/program")
    own_ns=$(awk -v pid="$app_pid" '$1 == pid {print $2}' "$work/program")
    x_ns=$(window_ns "$work/x-before" "$work/x-after" | sum)
    sound_ns=$(window_ns "$work/sound-before" "$work/sound-after" | sum)
    wall_ns=$(awk -v a="$started" -v b="$ended" 'BEGIN {printf "%.0f", (b - a) * 1e9}')
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$signal" "$wall_ns" \
        "$program_ns" "$x_ns" "$sound_ns" \
        "$pss" "$requests" "$pixels" "${own_ns:-0}" "$own_pss" "$processes" "$counted" >>"$result"
    exit 0
fi

# ------------------------------------------------------------ the whole comparison
linux_build="$(realpath -m "${1:-build/linux}")"
win_build="$(realpath -m "${2:-build/win64}")"
export COST_RUNS="${COST_RUNS:-3}" COST_SECONDS="${COST_SECONDS:-30}" COST_WARMUP="${COST_WARMUP:-3}"
out="${COST_OUT:-$here/docs}"
export DAMAGE_COUNTER="$linux_build/damage_counter"
export VELLUMTONE_WINEPREFIX="${VELLUMTONE_WINEPREFIX:-${TMPDIR:-/tmp}/vellumtone-cost-wineprefix}"
results_dir="$linux_build/cost"
results="$results_dir/results.tsv"
mkdir -p "$results_dir" "$out"
: >"$results"
: >"$results_dir/skipped.tsv"
COST_LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
export COST_LOAD_BEFORE

for tool in Xvfb pulseaudio pactl pacat xdotool perl; do
    command -v "$tool" >/dev/null 2>&1 || { echo "running_cost: $tool is missing" >&2; exit 1; }
done
[ -x "$DAMAGE_COUNTER" ] || echo "running_cost: no $DAMAGE_COUNTER (libxdamage-dev missing?): pictures/s not counted" >&2

skip() {  # name reason
    echo "running_cost: $1 skipped: $2" >&2
    printf '%s\t%s\n' "$1" "$2" >>"$results_dir/skipped.tsv"
}
# Whether a row is to be measured (COST_ONLY); one that is not is reported
# as skipped.
wanted() {  # name
    [ -z "${COST_ONLY:-}" ] && return 0
    [[ " $COST_ONLY " == *" $1 "* ]] && return 0
    skip "$1" "not asked for (COST_ONLY)"
    return 1
}

# name, services options, command
measure_program() {
    wanted "$1" || return 0
    local name=$1 options=$2 signal run
    shift 2
    for signal in changing steady; do
        for run in $(seq "$COST_RUNS"); do
            echo "running_cost: $name, $signal, run $run of $COST_RUNS" >&2
            # shellcheck disable=SC2086
            timeout -k 10 $((COST_WARMUP + COST_SECONDS + ${COST_READY_WAIT:-60} + 300)) \
                bash "$here/tests/with_services.sh" $options \
                bash "$0" --measure "$name" "$signal" "$results" "$@" ||
                echo "running_cost: $name, $signal, run $run failed" >&2
        done
    done
}

# name, then the program's path: measured in a private headless sway, run as
# its user (tests/wayland_session.sh).
measure_on_wayland() {
    wanted "$1" || return 0
    local name=$1 program=$2 signal run
    for signal in changing steady; do
        for run in $(seq "$COST_RUNS"); do
            echo "running_cost: $name, $signal, run $run of $COST_RUNS" >&2
            timeout -k 10 $((COST_WARMUP + COST_SECONDS + ${COST_READY_WAIT:-60} + 300)) \
                bash "$here/tests/wayland_session.sh" --size 1920x1080 \
                bash "$0" --measure "$name" "$signal" "$results" \
                bash -c '. "$1"; exec "${session_exec[@]}" "$(session_program "$2")"' _ \
                "$here/tests/wayland_session.sh" "$program" ||
                echo "running_cost: $name, $signal, run $run failed" >&2
        done
    done
}

if [ -x "$linux_build/vellumtone" ]; then
    measure_program linux "" "$linux_build/vellumtone"
    printf '[Vellumtone]\nScaleMarks=1\nPeakHold=1\nHoldOverload=1\n' >"$results_dir/aids.ini"
    COST_SETTINGS="$results_dir/aids.ini" measure_program linux-aids "" "$linux_build/vellumtone"
    COST_HIDE=1 measure_program linux-hidden "" "$linux_build/vellumtone"
else
    skip linux "no $linux_build/vellumtone (make linux)"
    skip linux-aids "no $linux_build/vellumtone (make linux)"
    skip linux-hidden "no $linux_build/vellumtone (make linux)"
fi
if [ ! -x "$linux_build/vellumtone" ]; then
    skip wayland "no $linux_build/vellumtone (make linux)"
    skip wayland-hidden "no $linux_build/vellumtone (make linux)"
elif ! command -v sway >/dev/null 2>&1; then
    skip wayland "sway is not installed"
    skip wayland-hidden "sway is not installed"
else
    measure_on_wayland wayland "$linux_build/vellumtone"
    COST_HIDE=1 measure_on_wayland wayland-hidden "$linux_build/vellumtone"
fi
if [ ! -f "$win_build/vellumtone.exe" ]; then
    skip wine "no $win_build/vellumtone.exe (make windows)"
elif ! command -v wine >/dev/null 2>&1; then
    skip wine "Wine is not installed"
else
    measure_program wine --wine wine "$win_build/vellumtone.exe"
fi
if command -v pavumeter >/dev/null 2>&1; then
    measure_program pavumeter "" pavumeter --record
else
    skip pavumeter "not installed (apt-get install pavumeter)"
fi
# The sound server's work for the signal alone, played to nobody: what it
# costs beyond that in a program's run is the work of that program's stream.
measure_program signal "" sleep 3600
if [ -x "$linux_build/floor_meter" ]; then
    measure_program floor "" "$linux_build/floor_meter"
else
    skip floor "no $linux_build/floor_meter (make linux)"
fi

COST_LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)
export COST_LOAD_AFTER
perl "$here/bench/cost_report.pl" "$results" "$results_dir/skipped.tsv" "$out" || exit 1
echo "running_cost: wrote $out/performance.md"
