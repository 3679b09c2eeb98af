#!/bin/bash
# A private GNOME compositor session for the end-to-end tests: mutter,
# headless, Wayland only, on a virtual monitor, with a session bus of its own
# (where its remote-desktop interface gives a test a mouse and keys:
# tests/tools/mutter_input.py) and a private PulseAudio server whose default
# capture source is the monitor of a null sink named "meter". As
# tests/wayland_session.sh does, it runs as the unprivileged user vtwayland
# when started by root, else as the caller, in a runtime directory of its own.
#
# Run as a command, it starts the session, runs the command in it (as the
# caller) and ends the session:
#   gnome_session.sh [OPTIONS] COMMAND...
#     --size WxH   the virtual monitor's size in logical pixels (1280x800)
#     --no-pulse   start no sound server
# The command sees WAYLAND_DISPLAY, XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS
# (the session's bus), PULSE_SERVER, PULSE_SINK=meter, PULSE_COOKIE,
# XDG_CONFIG_HOME (empty, private), VELLUMTONE_MUTTER_PID (mutter's, for a
# test that kills it), VELLUMTONE_SESSION_USER (whom the session runs as;
# empty: the caller), VELLUMTONE_SOUND and VELLUMTONE_SOUND_SERVER as
# tests/wayland_session.sh gives them.
#
# Sourced (by a command that runs in the session), it gives what
# tests/wayland_session.sh gives sourced: session_exec, as_session,
# session_program and the protocol log's helpers. The session is made with
# that script's helpers too.

session_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=tests/wayland_session.sh
source "$session_dir/wayland_session.sh"
if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -n "${VELLUMTONE_MUTTER_PID:-}" ]; then
    make_session_exec "${VELLUMTONE_SESSION_USER:-}"
fi
[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

# ---------------------------------------------------------------- the session
set -u
sound_server="$session_dir/sound_server.sh"
# end_pids and wait_for, as tests/wayland_session.sh uses them.
# shellcheck source=tests/sound_server.sh
source "$sound_server"
log() { echo "gnome_session: $*" >&2; }

size=1280x800
sound=pulse
while [ $# -gt 0 ]; do
    case "$1" in
        --size) size=$2; shift 2 ;;
        --no-pulse) sound=none; shift ;;
        --) shift; break ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { log "usage: gnome_session.sh [OPTIONS] COMMAND..."; exit 2; }

make_session_user || { log "cannot make the user $user"; exit 1; }
make_runtime vellumtone-gnome || exit 1
bus_pid=""
mutter_pid=""
sound_server=$(session_program "$sound_server")

cleanup() {
    [ "$sound" != none ] && "$sound_server" stop
    # shellcheck disable=SC2086
    end_pids TERM $mutter_pid $bus_pid
    # shellcheck disable=SC2046
    end_pids TERM $(session_pids)
    rm -rf "$runtime"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

# The session bus: a daemon of this session's user, at a known address in
# its runtime directory (mutter and the test's input tool meet there).
bus="unix:path=$runtime/bus"
"${as_user[@]}" env -i --chdir="$runtime" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" PATH="$PATH" \
    dbus-daemon --session --address="$bus" --nofork --nopidfile >"$runtime/bus.log" 2>&1 &
bus_pid=$!
if ! wait_for 5 test -S "$runtime/bus"; then
    log "the session bus did not start"
    cat "$runtime/bus.log" >&2
    exit 1
fi
export DBUS_SESSION_BUS_ADDRESS=$bus

# mutter gets a clean environment: no WAYLAND_DISPLAY or DISPLAY of the
# caller may make it a nested compositor. Its settings are GSettings'
# defaults, kept in memory (Alt+F4 closes a window, the keyboard's layout
# is us). The Wayland socket's name is a fixed one in the private directory.
"${as_user[@]}" env -i --chdir="$runtime" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" PATH="$PATH" \
    DBUS_SESSION_BUS_ADDRESS="$bus" GSETTINGS_BACKEND=memory \
    mutter --headless --wayland --no-x11 --virtual-monitor "$size" --wayland-display wayland-0 \
    >"$runtime/mutter.log" 2>&1 &
mutter_pid=$!

# mutter answers on the bus once it runs: its remote-desktop service is
# there, and the socket too.
remote_desktop_ready() {
    test -S "$runtime/wayland-0" &&
        as_session env DBUS_SESSION_BUS_ADDRESS="$bus" timeout 2 dbus-send --session \
            --dest=org.gnome.Mutter.RemoteDesktop --print-reply /org/gnome/Mutter/RemoteDesktop \
            org.freedesktop.DBus.Peer.Ping
}
if ! wait_for 10 remote_desktop_ready; then
    log "mutter did not start"
    cat "$runtime/mutter.log" >&2
    exit 1
fi
export WAYLAND_DISPLAY=wayland-0
export VELLUMTONE_MUTTER_PID=$mutter_pid
export VELLUMTONE_SESSION_USER=$user
unset DISPLAY

start_session_sound "$sound" || { log "no sound server"; exit 1; }

"$@"
