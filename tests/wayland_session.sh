#!/bin/bash
# A private Wayland session for the end-to-end tests: sway on a headless
# output, with its XWayland if asked, and a private PulseAudio server whose
# default capture source is the monitor of a null sink named "meter". sway
# refuses to run as root, so as root the session runs as an unprivileged user
# made for it (vtwayland, made once); as anyone else, as the caller. Each
# session has a runtime directory of its own.
#
# Run as a command, it starts the session, runs the command in it (as the
# caller: root reaches the session's sockets too) and ends the session:
#   wayland_session.sh [OPTIONS] COMMAND...
#     --scale S       the output's scale (1)
#     --size WxH      the output's size in buffer pixels (1280x800)
#     --xwayland      sway's XWayland too, started and answering
#     --pointer TOOL  a program that gives the seat a pointer device and
#                     holds it, printing "ready" (tests/tools/wayland_pointer):
#                     a headless seat has no devices, and with no pointer the
#                     clicks of `swaymsg seat - cursor press` reach nobody;
#                     VELLUMTONE_POINTER_PID is its process id
#     --no-pulse      start no sound server
# The command sees WAYLAND_DISPLAY, SWAYSOCK, XDG_RUNTIME_DIR, DISPLAY (with
# --xwayland; unset without), PULSE_SERVER, PULSE_SINK=meter, PULSE_COOKIE
# (the server's, so that clients of another user, root, are let in),
# XDG_CONFIG_HOME (empty, private), VELLUMTONE_SWAY_PID (sway's, for a test
# that kills it), VELLUMTONE_SESSION_USER (whom the session runs as; empty:
# the caller), and VELLUMTONE_SOUND and VELLUMTONE_SOUND_SERVER as
# tests/with_services.sh gives them (a server started again must be the
# session user's: as_session "$VELLUMTONE_SOUND_SERVER" start pulse).
#
# Sourced (by a command that runs in the session), it gives session_exec, the
# words that run a command as the session's user in the session's
# environment (its process id stays the command's: the words exec), and
# as_session COMMAND..., and session_program PATH: a path of that program
# the session's user can run (PATH itself when the user can reach it, else a
# copy in the runtime directory: a build under /root is out of its reach).

session_user_name=vtwayland

# The words before a command that make it the session user's (as_user),
# and then in the session's runtime directory, which is its home too.
make_session_exec() {  # user (empty: the caller)
    as_user=()
    if [ -n "$1" ]; then
        as_user=(setpriv --reuid="$(id -u "$1")" --regid="$(id -g "$1")" --clear-groups)
    fi
    session_exec=("${as_user[@]}" env --chdir="$XDG_RUNTIME_DIR" HOME="$XDG_RUNTIME_DIR")
}

as_session() { "${session_exec[@]}" "$@"; }

session_program() {  # path
    if as_session test -r "$1" -a -x "$1"; then
        echo "$1"
    elif cp "$1" "$XDG_RUNTIME_DIR/" && chmod 755 "$XDG_RUNTIME_DIR/${1##*/}"; then
        echo "$XDG_RUNTIME_DIR/${1##*/}"
    fi
}

# For the scripts that start a session (this one, tests/kwin_session.sh):
# make_session_user sets user, whom the session runs as (as root the
# unprivileged session_user_name, made once; else empty, the caller);
# make_runtime sets runtime, the session's own runtime directory, as
# XDG_RUNTIME_DIR, and session_exec; session_pids lists the processes
# started in the session; start_session_sound starts its sound server
# (sound_server set to a path of tests/sound_server.sh the user can run).
make_session_user() {
    user=""
    [ "$(id -u)" = 0 ] || return 0
    user=$session_user_name
    # Two sessions starting at once take turns.
    (
        flock 9
        id -u "$user" >/dev/null 2>&1 ||
            useradd --system --user-group --no-create-home --home-dir /nonexistent \
                --shell /usr/sbin/nologin "$user"
    ) 9>/tmp/vellumtone-wayland-user.lock
}

# The runtime directory is under /tmp whatever TMPDIR says: the session's
# user must reach it, and socket paths must stay short.
make_runtime() {  # name prefix
    runtime=$(mktemp -d "/tmp/$1.XXXXXX") || return 1
    chmod 700 "$runtime"
    [ -z "$user" ] || chown "$user:" "$runtime"
    export XDG_RUNTIME_DIR=$runtime
    make_session_exec "$user"
}

# The processes started in this session, whoever started them (sway starts
# XWayland detached from itself): those that carry its runtime directory in
# their environment, but the calling script.
session_pids() {
    grep -lzxF "XDG_RUNTIME_DIR=$runtime" /proc/[0-9]*/environ 2>/dev/null |
        sed 's|^/proc/||; s|/environ$||' | grep -vx "$$"
}

# The sound server, as the session's user (PulseAudio keeps its cookie in
# the home directory's .config), and the variables its clients need.
start_session_sound() {  # pulse|none
    export XDG_CONFIG_HOME="$runtime/config"
    export PULSE_SERVER="unix:$runtime/pulse/native"
    export PULSE_SINK=meter
    export VELLUMTONE_SOUND=$1
    export VELLUMTONE_SOUND_SERVER=$sound_server
    [ "$1" != none ] || return 0
    as_session env -u XDG_CONFIG_HOME "$sound_server" start "$1" || return 1
    export PULSE_COOKIE="$runtime/.config/pulse/cookie"
}

# For a program run in the session with WAYLAND_DEBUG=1, whose stderr is
# then mostly its protocol log: keep_protocol_apart moves the protocol's
# lines from that file to another (the program's own lines stay), and
# check_protocol_log runs tests/tools/wayland_log_check.py on a log and
# says what it found (log, the caller's, for a line on stderr).
keep_protocol_apart() {  # stderr_file protocol_file
    [ -f "$1" ] && grep -qE '^\[ *[0-9.]+\]' "$1" || return 0
    grep -E '^\[ *[0-9.]+\]' "$1" >"$2"
    grep -vE '^\[ *[0-9.]+\]' "$1" >"$1.own"
    mv "$1.own" "$1"
}

check_protocol_log() {  # case protocol_file
    local checker faults
    checker="$(dirname "${BASH_SOURCE[0]}")/tools/wayland_log_check.py"
    if [ ! -f "$checker" ]; then
        log "$1: no $checker: the protocol log is not checked"
        return 0
    fi
    faults=$(python3 "$checker" "$2") && return 0
    log "$1: the protocol log has faults:"
    sed 's/^/  /' <<<"$faults" >&2
    return 1
}

if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -n "${VELLUMTONE_SWAY_PID:-}" ]; then
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
log() { echo "wayland_session: $*" >&2; }

scale=1
size=1280x800
xwayland=0
pointer=""
sound=pulse
while [ $# -gt 0 ]; do
    case "$1" in
        --scale) scale=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        --xwayland) xwayland=1; shift ;;
        --pointer) pointer=$2; shift 2 ;;
        --no-pulse) sound=none; shift ;;
        --) shift; break ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { log "usage: wayland_session.sh [OPTIONS] COMMAND..."; exit 2; }

make_session_user || { log "cannot make the user $user"; exit 1; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
make_runtime vellumtone-wayland || exit 1

sway_pid=""
pointer_pid=""
sound_server=$(session_program "$sound_server")

cleanup() {
    [ "$sound" != none ] && "$sound_server" stop
    # shellcheck disable=SC2086
    end_pids TERM $pointer_pid $sway_pid
    # shellcheck disable=SC2046
    end_pids TERM $(session_pids)
    rm -rf "$runtime"
}
trap cleanup EXIT
# A time limit's SIGTERM ends the session too.
trap 'exit 143' TERM
trap 'exit 130' INT

{
    echo "output HEADLESS-1 resolution $size scale $scale"
    # The window's rect is its client area; no bar; no wallpaper (no
    # swaybg: the output shows sway's plain background).
    echo "default_border none"
    echo "default_floating_border none"
    echo "focus_follows_mouse no"
    # A held key repeats a few times a second, after a short delay: a test
    # that holds one for a second sees a few repeats, never a dozen.
    echo "input type:keyboard repeat_delay 300"
    echo "input type:keyboard repeat_rate 10"
    if [ "$xwayland" = 1 ]; then echo "xwayland enable"; else echo "xwayland disable"; fi
} >"$runtime/sway.config"

started=$(now_ms)
# sway gets a clean environment: no DISPLAY or WAYLAND_DISPLAY of the caller
# may make it a nested compositor or reach its children.
"${as_user[@]}" env -i --chdir="$runtime" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" PATH="$PATH" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$runtime/sway.config" >"$runtime/sway.log" 2>&1 &
sway_pid=$!

wayland_socket() {
    local socket
    for socket in "$runtime"/wayland-*; do
        [ -S "$socket" ] && { echo "${socket##*/}"; return 0; }
    done
    return 1
}
ipc_socket() {
    local socket
    for socket in "$runtime"/sway-ipc.*.sock; do
        [ -S "$socket" ] && { echo "$socket"; return 0; }
    done
    return 1
}
if ! wait_for 10 wayland_socket || ! wait_for 10 ipc_socket; then
    log "sway did not start"
    cat "$runtime/sway.log" >&2
    exit 1
fi
export WAYLAND_DISPLAY
WAYLAND_DISPLAY=$(wayland_socket)
export SWAYSOCK
SWAYSOCK=$(ipc_socket)
export VELLUMTONE_SWAY_PID=$sway_pid
export VELLUMTONE_SESSION_USER=$user
if ! wait_for 10 timeout 2 swaymsg -t get_version; then
    log "sway does not answer"
    cat "$runtime/sway.log" >&2
    exit 1
fi
answered=$(now_ms)

# The output as configured: every picture's place depends on it.
output=$(swaymsg -t get_outputs -r | perl -MJSON::PP -e '
    local $/; my @outputs = @{decode_json(<STDIN>)};
    for (@outputs) {
        print "$_->{current_mode}{width}x$_->{current_mode}{height} $_->{scale}\n"
            if $_->{name} eq "HEADLESS-1";
    }')
if [ "$output" != "$size $scale" ] && [ "$output" != "$size $scale.0" ]; then
    log "the output is \"$output\", not \"$size $scale\""
    exit 1
fi

if [ -n "$pointer" ]; then
    "$pointer" >"$runtime/pointer.out" 2>&1 &
    pointer_pid=$!
    if ! wait_for 5 grep -qx ready "$runtime/pointer.out"; then
        log "no pointer device: $(cat "$runtime/pointer.out")"
        exit 1
    fi
    export VELLUMTONE_POINTER_PID=$pointer_pid
fi

unset DISPLAY
if [ "$xwayland" = 1 ]; then
    # sway names its X display in the environment it gives its children.
    # shellcheck disable=SC2016
    swaymsg exec 'printenv DISPLAY >"$XDG_RUNTIME_DIR/display.new" && mv "$XDG_RUNTIME_DIR/display.new" "$XDG_RUNTIME_DIR/display"' \
        >/dev/null
    if ! wait_for 5 test -s "$runtime/display"; then
        log "sway names no X display"
        exit 1
    fi
    export DISPLAY
    DISPLAY=$(cat "$runtime/display")
    # XWayland starts at its first client; it is ready once its window
    # manager, sway, has said so on the root window. It lets in its own
    # user's clients only.
    x_ready() { as_session xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
    if ! wait_for 15 x_ready; then
        log "XWayland on $DISPLAY does not answer"
        cat "$runtime/sway.log" >&2
        exit 1
    fi
    log "sway answered after $((answered - started)) ms, XWayland ($DISPLAY) after" \
        "$(($(now_ms) - answered)) ms more"
fi

start_session_sound "$sound" || { log "no sound server"; exit 1; }

"$@"
