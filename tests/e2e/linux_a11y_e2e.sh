#!/bin/bash
# End-to-end test of what screen readers find in the native Linux program.
# Each case runs it on a private virtual display and sound server
# (tests/with_services.sh) with a private session bus, and reads it as a
# screen reader would, through an AT-SPI client (tests/tools/atspi_client.py):
#   x11       with an accessibility bus (at-spi-bus-launcher): the application
#             "vellumtone" shows a frame with the window's title, two level
#             bars "Left channel" and "Right channel" (-60 to 0) and the
#             donation button with a click action, each where the window
#             shows it on the screen; while a square wave of
#             16384 / 8192 plays, the meters read -6.0 and -12.0 dB (within
#             0.5 dB, with the readout's text), and they follow the signal
#             when it changes to 4096 / 24576 (-18.1 dB, -2.5 dB), each
#             telling its changes as AT-SPI events; the click action hands the
#             donation address to the browser once and leaves the button
#             drawn pressed, as a mouse click does; with 16384 / 8192
#             playing again, the key L has the program announce the levels
#             ("Left -6.0, peak ..."); with "Announce clipping" chosen, a
#             full-scale burst on the left is announced ("Left clipped"); a
#             close request still ends the program with exit code 0
#   wayland   the same tree, levels, click and key L in the program's own
#             window on a headless sway (tests/wayland_session.sh, without
#             XWayland), where only the compositor knows where the window
#             lies: the places are the client area's own
#   nobus     with a session bus but no accessibility bus, nothing serves
#             readers: the program has no "readers" thread, and its meters
#             show the signal as always
# Without any session bus (every other end-to-end test) nothing is looked for.
#
#   linux_a11y_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

e2e_name=linux_a11y_e2e
case_timeout=90
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"
use_linux_build "${1:-}"

client=("/usr/bin/python3" "$root/tests/tools/atspi_client.py")
launcher=/usr/libexec/at-spi-bus-launcher

# In a Wayland session the buses, the program and the client run as the
# session's user, whom a session bus lets in alone.
run_as=()

# A private session bus in the runtime directory, for this case alone; sets
# bus_pid.
start_session_bus() {
    "${run_as[@]}" dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/bus" --nofork --nopidfile \
        >"$work/dbus.log" 2>&1 &
    bus_pid=$!
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    for _ in $(seq 50); do
        [ -S "$XDG_RUNTIME_DIR/bus" ] && return 0
        sleep 0.1
    done
    log "no session bus"
    return 1
}

# The accessibility bus, as a desktop starts it; sets launcher_pid once the
# launcher owns its name on the session bus.
start_accessibility_bus() {
    "${run_as[@]}" "$launcher" --launch-immediately >"$work/launcher.log" 2>&1 &
    launcher_pid=$!
    for _ in $(seq 50); do
        "${run_as[@]}" dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null |
            grep -q 'boolean true' && return 0
        sleep 0.1
    done
    log "the accessibility bus did not start"
    return 1
}

stop_buses() {
    [ -n "${launcher_pid:-}" ] && kill "$launcher_pid" 2>/dev/null && wait "$launcher_pid" 2>/dev/null
    [ -n "${bus_pid:-}" ] && kill "$bus_pid" 2>/dev/null && wait "$bus_pid" 2>/dev/null
}

# Whether the program runs a thread of that name.
has_thread() {  # name
    grep -qx "$1" /proc/"$app_pid"/task/*/comm 2>/dev/null
}

# The tree a reader finds, each part where the window shows it when the
# window's client area lies at the given place on the screen, both meters'
# levels while the signal plays and as it changes, and the click action,
# which hands the donation address to the browser once.
check_reader() {  # case client_x client_y
    local follower address expected ok=0
    "${client[@]}" tree "$title" "$DONATION_BUTTON_TEXT" >"$work/tree.txt" || ok=1
    expected=$(printf '%s\n' "$2 $3 1024 220 $title" \
        "$(($2 + 10)) $(($3 + 10)) 497 141 Left channel" \
        "$(($2 + 517)) $(($3 + 10)) 497 141 Right channel" \
        "$(($2 + button_x)) $(($3 + button_y)) ${button_size/x/ } $DONATION_BUTTON_TEXT")
    if [ "$(cat "$work/tree.txt")" != "$expected" ]; then
        log "$1: the places are"
        sed 's/^/  /' "$work/tree.txt" >&2
        log "$1: expected"
        sed 's/^/  /' <<<"$expected" >&2
        ok=1
    fi
    "${client[@]}" levels -6.0 -12.0 15 || { log "$1: the meters do not read the signal"; ok=1; }
    # The client listens for the change from before it comes.
    "${client[@]}" follow -18.1 -2.5 15 &
    follower=$!
    sleep 1
    stop_player
    play_signal 4096 24576 60
    wait "$follower" || { log "$1: the meters do not follow the signal"; ok=1; }
    stop_player
    address=$(donation_address)
    "${client[@]}" click "$DONATION_BUTTON_TEXT" || ok=1
    for _ in $(seq 50); do [ "$(opened_count)" -gt 0 ] && break; sleep 0.1; done
    sleep 1  # long enough that a second call would have come
    if [ "$(cat "$work/opened.txt" 2>/dev/null)" != "[$address]" ]; then
        log "$1: after the click action the browser got: $(cat "$work/opened.txt" 2>/dev/null)"
        ok=1
    fi
    has_thread readers || { log "$1: no thread serves the readers"; ok=1; }
    return $ok
}

# The program announces a text that starts with the given words after the
# command, run once the client listens.
hear() {  # words command...
    local announcer words=$1
    shift
    "${client[@]}" announce "$words" 10 >"$work/announced.txt" &
    announcer=$!
    sleep 1
    "$@"
    wait "$announcer"
}

# With 16384 / 8192 playing, the key L (pressed by the command given) has
# the program announce the levels, the left first.
check_level_key() {  # case command...
    local ok=0 name=$1
    shift
    play_signal 16384 8192 60
    "${client[@]}" levels -6.0 -12.0 15 || { log "$name: the meters do not read the signal"; ok=1; }
    hear "Left -6.0" "$@" || { log "$name: the key L announced no levels"; ok=1; }
    stop_player
    return $ok
}

case_x11() {
    local id ox oy w h ok=0
    mkdir -p "$XDG_CONFIG_HOME/vellumtone"
    printf '[Vellumtone]\nAnnounceClipping=1\n' >"$XDG_CONFIG_HOME/vellumtone/vellumtone.ini"
    start_session_bus && start_accessibility_bus || { stop_buses; return 1; }
    if ! open_window x11; then
        stop_buses
        return 1
    fi
    play_signal 16384 8192 60
    xdotool mousemove "$((ox + rest_x))" "$((oy + rest_y))"
    sleep 0.3
    grab_button "$ox" "$oy" "$work/button-up.png"
    check_reader x11 "$ox" "$oy" || ok=1
    grab_button "$ox" "$oy" "$work/button-checked.png"
    if [ "$(differing_pixels "$work/button-up.png" "$work/button-checked.png")" = 0 ]; then
        log "x11: the click action did not leave the button drawn pressed"
        ok=1
    fi
    check_level_key x11 xdotool mousemove "$((ox + rest_x))" "$((oy + rest_y))" key l || ok=1
    hear "Left clipped" play_signal --dc 32767 0 1 || { log "x11: no clip was announced"; ok=1; }
    wait "$player_pid"
    close_with_delete_window || { log "x11: close failed"; ok=1; }
    stop_buses
    return $ok
}

case_wayland() {
    local ok=0 app
    # shellcheck source=tests/wayland_session.sh
    source "$root/tests/wayland_session.sh"
    run_as=("${session_exec[@]}")
    if [ -n "$VELLUMTONE_SESSION_USER" ]; then
        rm -f "$work/opened.txt.token"
        chown "$VELLUMTONE_SESSION_USER" "$work"
    fi
    cp "$root/tests/tools/atspi_client.py" "$XDG_RUNTIME_DIR/" &&
        chmod 755 "$XDG_RUNTIME_DIR/atspi_client.py" || return 1
    client=("${run_as[@]}" /usr/bin/python3 "$XDG_RUNTIME_DIR/atspi_client.py")
    app=$(session_program "$build/vellumtone")
    program=(env -u VELLUMTONE_BACKEND "${run_as[@]}" "$app")
    start_session_bus && start_accessibility_bus || { stop_buses; return 1; }
    play_signal 16384 8192 60
    start_program
    # Only the compositor knows where the window lies: the places are the
    # client area's, in its logical pixels.
    check_reader wayland 0 0 || ok=1
    check_level_key wayland wtype -s 300 -k l -s 300 -k l || ok=1
    swaymsg "[pid=$app_pid] kill" >/dev/null || log "wayland: sway found no window of pid $app_pid"
    expect_exit_zero || { log "wayland: close failed"; ok=1; }
    stop_buses
    return $ok
}

case_nobus() {
    local id ox oy w h ok=0
    start_session_bus || { stop_buses; return 1; }
    if ! open_window nobus; then
        stop_buses
        return 1
    fi
    play_signal 16384 8192 30
    expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 15 ||
        { log "nobus: meters do not show readings 51 and 25"; ok=1; }
    ! has_thread readers || { log "nobus: a thread serves readers without a bus"; ok=1; }
    stop_player
    close_with_delete_window || { log "nobus: close failed"; ok=1; }
    stop_buses
    return $ok
}

# ---------------------------------------------------------------- driver

DONATION_BUTTON_TEXT=$(perl -0ne 'print $1 if /DONATION_BUTTON_TEXT\s*=\s*"([^"]+)"/' \
    "$root/app/main_window.h")
run_named_case
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
    log "skipped, missing: python3-pyatspi"
    exit 77
fi
prepare_run "$build/vellumtone" "$launcher" dbus-daemon dbus-send
run_case x11
if command -v sway >/dev/null && command -v swaymsg >/dev/null && command -v setpriv >/dev/null; then
    services=$root/tests/wayland_session.sh run_case wayland
else
    log "wayland: skipped, missing: sway or setpriv"
    skipped=$((skipped + 1))
fi
run_case nobus
report_and_exit
