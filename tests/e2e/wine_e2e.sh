#!/bin/bash
# End-to-end test of the Windows program: the real vellumtone.exe runs under
# Wine on a private virtual display with a private PulseAudio server
# (tests/with_services.sh), which Wine's wave-in records from, and is looked
# at the way a user would:
#   signal    a stereo square wave (left 16384, right 8192) played into the
#             "meter" sink shows on each canvas exactly as the engine draws 20
#             readings of 51 and 25; the client area is 1024 x 220; each click
#             on the button hands the donation address to the browser (Wine's
#             winebrowser calls xdg-open: a stand-in first in PATH) once and
#             toggles the pressed look; Alt+F4 ends the program with code 0
#   overload  a full-scale left channel lights the overload disc on the left
#             meter as the engine draws 20 readings of 101, the right one shows
#             25; a window manager's close request (WM_DELETE_WINDOW) ends the
#             program with code 0
#   nopulse   without a sound server the window opens and both meters rest
#   readers   with the signal of case signal playing, a screen reader's
#             client in another process (tests/tools/win32/meter_reader.cpp)
#             reads the left canvas as "Left channel" at "-6.0 dB" and the
#             right as "Right channel" at "-12.0 dB" through MSAA, and finds
#             both through UI Automation by name and type (Wine 8.0 gives
#             no values there); silence then reads "-inf dB"
#   scaled    with the desktop's LogPixels (the system DPI) at 120, 144 and
#             192 each canvas shows, pixel for pixel, the engine's picture for
#             its scaled control (the dial fills it) with the readings of the
#             signal of case signal; LogPixels 1000 gives a window of
#             480 DPI (5120 x 1100) that a close request ends with code 0
#
#   wine_e2e.sh NATIVE_BUILD_DIR WIN_BUILD_DIR
# The native build gives render_meter (and x11_close); the Windows build gives
# vellumtone.exe. Exit 77: skipped (no Windows build, or a tool is missing).
set -u

e2e_name=wine_e2e
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"

use_windows_build "${1:-}" "${2:-}"
case_timeout=300

# ---------------------------------------------------------------- cases
# These run inside with_services.sh, with DISPLAY, PULSE_SERVER and
# WINEPREFIX set.

close_with_alt_f4() {  # id
    xdotool key --window "$1" alt+F4 2>/dev/null
    expect_exit_zero
}

case_signal() {
    local id ox oy w h ok=0
    open_window signal || return 1
    expect_client_area signal 1024 220 || ok=1
    play_signal 16384 8192 60
    expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 20 ||
        { log "signal: meters do not show readings 51 and 25"; ok=1; }
    stop_player
    # Released, the button looks as before the clicks but for the focus
    # rectangle that it now has, 3 pixels inside its edge.
    check_button "$ox" "$oy" 340x20+5+5 || ok=1
    close_with_alt_f4 "$id" || { log "signal: Alt+F4 did not end the program"; ok=1; }
    return $ok
}

case_overload() {
    local id ox oy w h ok=0
    open_window overload || return 1
    play_signal 32767 8192 60
    expect_meters "$ox" "$oy" "$work/expected-101.png" "$work/expected-25.png" 20 ||
        { log "overload: the overload disc is not lit as the engine draws it"; ok=1; }
    stop_player
    close_with_delete_window || { log "overload: the close request did not end it"; ok=1; }
    return $ok
}

case_nopulse() {
    local id ox oy w h ok=0
    open_window nopulse || return 1
    sleep 2  # time in which readings would have come
    expect_meters "$ox" "$oy" "$work/expected-rest.png" "$work/expected-rest.png" 10 ||
        { log "nopulse: the meters are not at rest"; ok=1; }
    close_with_alt_f4 "$id" || { log "nopulse: Alt+F4 did not end the program"; ok=1; }
    return $ok
}

# The system DPI for programs started from now on. with_services.sh removes
# the value from the shared prefix again once the case ends.
set_logpixels() {
    touch "$WINEPREFIX/.vellumtone-logpixels"
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

# What the client reads of each canvas now: "name value" lines, MSAA's.
read_meters() {
    wine "${e2e_args[1]}/meter_reader.exe" 2>/dev/null | tr -d '\r' >"$work/readers.txt"
    sed -n 's/^canvas [0-9]* msaa: name="\([^"]*\)" value="\([^"]*\)".*/\1 \2/p' \
        "$work/readers.txt"
}

expect_readings() {  # expected lines, as read_meters gives them
    local got=""
    for _ in $(seq 40); do
        got=$(read_meters)
        [ "$got" = "$1" ] && return 0
        sleep 0.25
    done
    log "readers: read $(echo "$got" | tr '\n' ';') expected $(echo "$1" | tr '\n' ';')"
    return 1
}

case_readers() {
    local id ox oy w h ok=0
    open_window readers || return 1
    play_signal 16384 8192 60
    expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 20 ||
        { log "readers: meters do not show readings 51 and 25"; ok=1; }
    expect_readings "Left channel -6.0 dB
Right channel -12.0 dB" || ok=1
    if [ "$(grep -c '^canvas [12] uia: name="\(Left\|Right\) channel" type=50012' \
        "$work/readers.txt")" != 2 ]; then
        log "readers: UI Automation did not find both meters: $(cat "$work/readers.txt")"
        ok=1
    fi
    stop_player
    expect_readings "Left channel -inf dB
Right channel -inf dB" || ok=1
    close_with_alt_f4 "$id" || { log "readers: Alt+F4 did not end the program"; ok=1; }
    return $ok
}

case_scaled() {
    local ok=0
    play_signal 16384 8192 120
    expect_scaled_meters set_logpixels 120 144 192 || ok=1
    stop_player
    expect_bounded_dpi set_logpixels 24:48 || ok=1
    return $ok
}

# ---------------------------------------------------------------- driver

run_named_case
prepare_run wine wineserver
run_case signal --wine
run_case overload --wine
run_case nopulse --wine --no-pulse
run_case readers --wine
# 192 DPI makes the window 2048 x 440, placed at (60, 60).
run_case scaled --wine --screen 2200x600
report_and_exit
