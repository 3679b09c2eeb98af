#!/bin/bash
# Takes the private PulseAudio server of tests/with_services.sh away and
# brings a new one up on the same runtime directory, as a client meets a
# sound server that crashed and was started again. Run inside
# with_services.sh (XDG_RUNTIME_DIR, PULSE_SERVER and VELLUMTONE_PULSE_PID
# set):
#   restart_pulse.sh stop     kill the running server by its PID (SIGKILL: it
#                             leaves its socket behind, as a crash does)
#   restart_pulse.sh start    start a new server with the same "meter" sink as
#                             the default source and sink
#   restart_pulse.sh restart  both
# The new server's PID goes to $XDG_RUNTIME_DIR/pulse-restarted.pid, which
# with_services.sh stops at the end. Every wait has a deadline.
set -u
pid_file="$XDG_RUNTIME_DIR/pulse-restarted.pid"

stop_server() {
    local pid
    if [ -f "$pid_file" ]; then pid=$(cat "$pid_file"); else pid=${VELLUMTONE_PULSE_PID:-}; fi
    [ -n "$pid" ] || { echo "restart_pulse: no server PID" >&2; return 1; }
    kill -KILL "$pid" 2>/dev/null
    # A child of with_services.sh stays a zombie until it is reaped there:
    # gone means no longer answering.
    for _ in $(seq 50); do
        pactl info >/dev/null 2>&1 || break
        sleep 0.1
    done
    rm -f "$pid_file"
    ! pactl info >/dev/null 2>&1
}

# The same server as with_services.sh starts.
start_server() {
    HOME="$XDG_RUNTIME_DIR" setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --disallow-exit --use-pid-file=no --system=false \
        --load=module-native-protocol-unix \
        --load="module-null-sink sink_name=meter rate=44100 channels=2" \
        >>"$XDG_RUNTIME_DIR/pulse-restarted.log" 2>&1 </dev/null &
    echo $! >"$pid_file"
    for _ in $(seq 100); do
        if pactl info >/dev/null 2>&1; then
            pactl set-default-source meter.monitor && pactl set-default-sink meter
            return
        fi
        sleep 0.1
    done
    echo "restart_pulse: the new server did not start" >&2
    return 1
}

case "${1:-}" in
    stop) stop_server ;;
    start) start_server ;;
    restart) stop_server && start_server ;;
    *) echo "usage: restart_pulse.sh stop|start|restart" >&2; exit 2 ;;
esac
