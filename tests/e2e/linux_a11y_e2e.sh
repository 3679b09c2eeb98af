#!/bin/bash
# End-to-end test of what screen readers find in the native Linux program.
# Each case runs it on a private virtual display and sound server
# (tests/with_services.sh) with a private session bus, and reads it as a
# screen reader would, through an AT-SPI client (tests/tools/atspi_client.py):
#   x11       with an accessibility bus (at-spi-bus-launcher): the application
#             "vellumtone" shows a frame with the window's title, two level
#             bars "Left channel" and "Right channel" (-60 to 0) and the
#             donation button with a click action; while a square wave of
#             16384 / 8192 plays, the meters read -6.0 and -12.0 dB (within
#             0.5 dB, with the readout's text), and they follow the signal
#             when it changes to 4096 / 24576 (-18.1 dB, -2.5 dB), each
#             telling its changes as AT-SPI events; the click action hands the
#             donation address to the browser once and leaves the button
#             drawn pressed, as a mouse click does; a close request still
#             ends the program with exit code 0
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

# A private session bus in the runtime directory, for this case alone; sets
# bus_pid.
start_session_bus() {
    dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/bus" --nofork --nopidfile \
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
    "$launcher" --launch-immediately >"$work/launcher.log" 2>&1 &
    launcher_pid=$!
    for _ in $(seq 50); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
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

case_x11() {
    local id ox oy w h ok=0 follower address
    start_session_bus && start_accessibility_bus || { stop_buses; return 1; }
    if ! open_window x11; then
        stop_buses
        return 1
    fi
    play_signal 16384 8192 60
    "${client[@]}" tree "$title" "$DONATION_BUTTON_TEXT" || ok=1
    "${client[@]}" levels -6.0 -12.0 15 || { log "x11: the meters do not read the signal"; ok=1; }
    # The client listens for the change from before it comes.
    "${client[@]}" follow -18.1 -2.5 15 &
    follower=$!
    sleep 1
    stop_player
    play_signal 4096 24576 60
    wait "$follower" || { log "x11: the meters do not follow the signal"; ok=1; }
    stop_player

    address=$(donation_address)
    xdotool mousemove "$((ox + rest_x))" "$((oy + rest_y))"
    sleep 0.3
    grab_button "$ox" "$oy" "$work/button-up.png"
    "${client[@]}" click "$DONATION_BUTTON_TEXT" || ok=1
    for _ in $(seq 50); do [ "$(opened_count)" -gt 0 ] && break; sleep 0.1; done
    sleep 1
    if [ "$(cat "$work/opened.txt" 2>/dev/null)" != "[$address]" ]; then
        log "x11: after the click action the browser got: $(cat "$work/opened.txt" 2>/dev/null)"
        ok=1
    fi
    grab_button "$ox" "$oy" "$work/button-checked.png"
    if [ "$(differing_pixels "$work/button-up.png" "$work/button-checked.png")" = 0 ]; then
        log "x11: the click action did not leave the button drawn pressed"
        ok=1
    fi
    has_thread readers || { log "x11: no thread serves the readers"; ok=1; }
    close_with_delete_window || { log "x11: close failed"; ok=1; }
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
run_case nobus
report_and_exit
