#!/bin/bash
# A private KDE Wayland session for the end-to-end tests: KWin on a virtual
# output, with a private session bus, and a private PulseAudio server whose
# default capture source is the monitor of a null sink named "meter". As
# root it runs as the unprivileged user of tests/wayland_session.sh
# (vtwayland); as anyone else, as the caller. Each session has a runtime
# directory of its own. KWin runs from a plain copy of its binary: the
# installed one carries a file capability that a container refuses to
# execute, and a copy carries none.
#
# Run as a command, it starts the session, runs the command in it (as the
# caller: root reaches the session's sockets too) and ends the session:
#   kwin_session.sh [OPTIONS] COMMAND...
#     --scale S      the output's scale (1.5)
#     --size WxH     the output's size in logical pixels (1280x800)
#     --input TOOL   tests/tools/wayland_fake_input, started and holding
#                    KWin's fake input: the command writes its lines to the
#                    pipe VELLUMTONE_FAKE_INPUT, and the tool answers each
#                    in the file VELLUMTONE_FAKE_INPUT.out ("ok LINE"). A
#                    private KWin has no input devices, and the tool's is
#                    its only pointer and keyboard
#     --no-pulse     start no sound server
# The command sees WAYLAND_DISPLAY, XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS
# (the bus KWin is on), PULSE_SERVER, PULSE_SINK=meter, PULSE_COOKIE,
# XDG_CONFIG_HOME (empty, private), VELLUMTONE_KWIN_PID (KWin's),
# VELLUMTONE_SESSION_USER (whom the session runs as; empty: the caller),
# VELLUMTONE_FAKE_INPUT (with --input) and VELLUMTONE_SOUND and
# VELLUMTONE_SOUND_SERVER as tests/wayland_session.sh gives them.
#
# Sourced (by a command that runs in the session), it gives what
# tests/wayland_session.sh gives sourced: session_exec, as_session and
# session_program.
# shellcheck source=tests/wayland_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/wayland_session.sh"
if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -n "${VELLUMTONE_KWIN_PID:-}" ]; then
    make_session_exec "${VELLUMTONE_SESSION_USER:-}"
fi
[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

# ---------------------------------------------------------------- the session
set -u
sound_server="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/sound_server.sh"
# Its alive and end_pids end this session's processes too, and its
# wait_for makes every wait a bounded one.
# shellcheck source=tests/sound_server.sh
source "$sound_server"
log() { echo "kwin_session: $*" >&2; }

scale=1.5
size=1280x800
input=""
sound=pulse
while [ $# -gt 0 ]; do
    case "$1" in
        --scale) scale=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        --input) input=$2; shift 2 ;;
        --no-pulse) sound=none; shift ;;
        --) shift; break ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { log "usage: kwin_session.sh [OPTIONS] COMMAND..."; exit 2; }
command -v kwin_wayland >/dev/null || { log "no kwin_wayland"; exit 1; }

make_session_user || { log "cannot make the user $user"; exit 1; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
make_runtime vellumtone-kwin || exit 1

bus_pid=""
kwin_pid=""
input_pid=""
sound_server=$(session_program "$sound_server")

cleanup() {
    [ "$sound" != none ] && "$sound_server" stop
    exec 8>&- 2>/dev/null
    # shellcheck disable=SC2086
    end_pids TERM $input_pid $kwin_pid $bus_pid
    # shellcheck disable=SC2046
    end_pids TERM $(session_pids)
    rm -rf "$runtime"
}
trap cleanup EXIT
# A time limit's SIGTERM ends the session too.
trap 'exit 143' TERM
trap 'exit 130' INT

# The words that start a process of the session with a clean environment:
# nothing of the caller's (a DISPLAY, a WAYLAND_DISPLAY, a bus) reaches it.
in_session() {
    "${as_user[@]}" env -i --chdir="$runtime" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" \
        PATH="$PATH" DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" "$@"
}

started=$(now_ms)
in_session dbus-daemon --session --address="unix:path=$runtime/bus" --nofork --nopidfile \
    >"$runtime/bus.log" 2>&1 &
bus_pid=$!
if ! wait_for 10 test -S "$runtime/bus"; then
    log "the session bus did not start"
    cat "$runtime/bus.log" >&2
    exit 1
fi

cp /usr/bin/kwin_wayland "$runtime/kwin_wayland" && chmod 755 "$runtime/kwin_wayland" || exit 1
# KWIN_WAYLAND_NO_PERMISSION_CHECKS offers every client the interfaces
# KWin keeps for its own desktop's programs (the fake input among them);
# KWIN_SCREENSHOT_NO_PERMISSION_CHECKS lets any caller take screenshots.
in_session KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
    "$runtime/kwin_wayland" --virtual --no-lockscreen --no-global-shortcuts --no-kactivities \
    --width "${size%x*}" --height "${size#*x}" --scale "$scale" --socket kwin-0 \
    >"$runtime/kwin.log" 2>&1 &
kwin_pid=$!
# KWin takes its bus name once its workspace is up.
kwin_on_bus() {
    in_session dbus-send --session --print-reply --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.kde.KWin |
        grep -q 'boolean true'
}
if ! wait_for 20 test -S "$runtime/kwin-0" || ! wait_for 20 kwin_on_bus; then
    log "KWin did not start"
    cat "$runtime/kwin.log" >&2
    exit 1
fi
export WAYLAND_DISPLAY=kwin-0
export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus"
export VELLUMTONE_KWIN_PID=$kwin_pid
export VELLUMTONE_SESSION_USER=$user
unset DISPLAY SWAYSOCK VELLUMTONE_SWAY_PID

if [ -n "$input" ]; then
    export VELLUMTONE_FAKE_INPUT=$runtime/input
    as_session mkfifo "$VELLUMTONE_FAKE_INPUT" || exit 1
    input=$(session_program "$input")
    # This script holds the pipe open for writing, so that the tool opens
    # it at once and sees no end while the command's writes come and go.
    exec 8<>"$VELLUMTONE_FAKE_INPUT"
    as_session "$input" <"$VELLUMTONE_FAKE_INPUT" >"$VELLUMTONE_FAKE_INPUT.out" \
        2>"$runtime/input.err" &
    input_pid=$!
    if ! wait_for 5 grep -qx ready "$VELLUMTONE_FAKE_INPUT.out"; then
        log "no fake input: $(cat "$runtime/input.err")"
        exit 1
    fi
fi
log "KWin answered after $(($(now_ms) - started)) ms"

start_session_sound "$sound" || { log "no sound server"; exit 1; }

"$@"
