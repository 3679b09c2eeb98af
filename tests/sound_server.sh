#!/bin/bash
# The private sound server of a test, in the runtime directory
# XDG_RUNTIME_DIR, where clients look for it: PulseAudio, or PipeWire with
# its session manager and its PulseAudio service (PipeWire needs the session
# bus of DBUS_SESSION_BUS_ADDRESS). Its process ids are kept in the runtime
# directory, so a test can kill the server like a crash and start a new one
# in the same place:
#   sound_server.sh start pulse|pipewire   starts it and waits until it answers,
#                                          with a null sink "meter" whose monitor
#                                          is the default source
#   sound_server.sh kill                   kills it with SIGKILL, as a crash
#   sound_server.sh stop                   asks it to end (SIGTERM)
#   sound_server.sh hang | resume          stops it (SIGSTOP), as a server that
#                                          no longer answers, and lets it go on
# Both kill and stop wait until the processes are gone.

log() { echo "sound_server: $*" >&2; }

alive() {  # pid: running, and not a zombie waiting for its parent
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

end_pids() {  # signal pid...: sends it to each, waits up to 5 s, then kills those left
    local signal=$1 pid left
    shift
    for pid in "$@"; do kill "-$signal" "$pid" 2>/dev/null; done
    for _ in $(seq 50); do
        left=0
        for pid in "$@"; do alive "$pid" && left=1; done
        [ "$left" = 0 ] && break
        sleep 0.1
    done
    for pid in "$@"; do alive "$pid" && kill -KILL "$pid" 2>/dev/null; done
    return 0
}

end_all() {  # signal: sends it to every server process, waits up to 5 s, then kills
    local pids=()
    [ -f "$pids_file" ] || return 0
    read -ra pids <"$pids_file"
    end_pids "$1" "${pids[@]}"
    rm -f "$pids_file"
}

wait_for() {  # seconds, command...: true once the command succeeds
    local deadline=$((SECONDS + $1))
    shift
    while [ "$SECONDS" -lt "$deadline" ]; do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# PipeWire refuses a default ("Not supported") until its session manager has
# made the place that holds it, so this is tried until it holds.
make_meter_default() {
    timeout 2 pactl set-default-sink meter && timeout 2 pactl set-default-source meter.monitor &&
        timeout 2 pactl info | grep -q '^Default Source: meter.monitor$'
}

start_pulse() {
    mkdir -p "$runtime/pulse"
    HOME="$runtime" pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
        --use-pid-file=no --system=false \
        --load=module-native-protocol-unix \
        --load="module-null-sink sink_name=meter rate=44100 channels=2" \
        >>"$runtime/pulse.log" 2>&1 &
    echo $! >"$pids_file"
    wait_for 10 timeout 2 pactl info || { log "PulseAudio did not start"; cat "$runtime/pulse.log" >&2; return 1; }
}

start_pipewire() {
    [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || { log "PipeWire needs DBUS_SESSION_BUS_ADDRESS"; return 1; }
    local started=""
    # A killed PipeWire leaves its socket behind; the session manager must
    # not find that one and give up before the new PipeWire listens.
    rm -f "$runtime/pipewire-0"
    # The home directory holds the session manager's remembered defaults.
    HOME="$runtime" pipewire >>"$runtime/pipewire.log" 2>&1 &
    started="$started $!"
    wait_for 5 test -S "$runtime/pipewire-0"
    HOME="$runtime" wireplumber >>"$runtime/wireplumber.log" 2>&1 &
    started="$started $!"
    HOME="$runtime" pipewire-pulse >>"$runtime/pipewire-pulse.log" 2>&1 &
    started="$started $!"
    echo "$started" >"$pids_file"
    if ! wait_for 10 timeout 2 pactl info; then
        log "PipeWire's PulseAudio service did not start"
        cat "$runtime/pipewire.log" "$runtime/pipewire-pulse.log" >&2
        return 1
    fi
    # The sink runs at the graph's rate, 48 kHz; clients at 44.1 kHz are resampled.
    timeout 5 pactl load-module module-null-sink sink_name=meter >/dev/null
}

# Sourced (tests/wayland_session.sh ends its processes with end_pids), it
# only defines the functions.
[ "${BASH_SOURCE[0]}" = "$0" ] || return 0
set -u
runtime=${XDG_RUNTIME_DIR:?sound_server.sh needs XDG_RUNTIME_DIR}
pids_file=$runtime/sound-server.pids

case "${1:-}" in
    start)
        end_all KILL
        case "${2:-}" in
            pulse) start_pulse ;;
            pipewire) start_pipewire ;;
            *) log "start pulse|pipewire"; exit 2 ;;
        esac || { end_all KILL; exit 1; }
        if ! wait_for 10 make_meter_default; then
            log "the default source is not meter.monitor"
            end_all KILL
            exit 1
        fi
        ;;
    kill) end_all KILL ;;
    stop) end_all TERM ;;
    hang | resume)
        read -ra pids <"$pids_file" || exit 1
        signal=STOP
        [ "$1" = resume ] && signal=CONT
        kill "-$signal" "${pids[@]}"
        ;;
    *) log "usage: sound_server.sh start pulse|pipewire | kill | stop | hang | resume"; exit 2 ;;
esac
