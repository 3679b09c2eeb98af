#!/bin/bash
# End-to-end test of the main window's menu in the Windows program, the real
# vellumtone.exe under Wine (tests/with_services.sh --wine). Two inputs,
# "Mic_A" and "Mic_B", are the remapped monitors of two null sinks, each
# playing its own sine wave (a: readings 51 and 25; b: 76 and 38); the
# default source, meter.monitor, plays nothing. Wine lists every source of
# the server as a recording device, after its own default device:
#   input  a right click on a meter opens the native menu; Down to an input
#          and Enter, until both canvases show b's readings; Alt+F4 ends the
#          program (exit 0); the settings file in the prefix's AppData holds
#          Input= the device's endpoint ID and InputName= the name the menu
#          showed, and a new start shows b's
#          readings with no menu action
#   playing "What's playing" remembered in the settings file, which Wine
#          cannot record: the default input stands in, showing b's tone
#          played to the default sink, and the choice stays in the file
# Each picture is compared pixel by pixel with the engine's picture of 20
# readings of the expected values; the log says how long each took to show.
#
#   wine_menu_e2e.sh NATIVE_BUILD_DIR WIN_BUILD_DIR
# Exit 77: skipped (no Windows build, or a tool is missing).
set -u

e2e_name=wine_menu_e2e
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"

use_windows_build "${1:-}" "${2:-}"
case_timeout=180

# ---------------------------------------------------------------- cases
# These run inside with_services.sh, with DISPLAY, PULSE_SERVER and
# WINEPREFIX set.

settings_file() { echo "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Vellumtone/vellumtone.ini; }

# Wine lists its default device ("PulseAudio") and then the server's
# sources, in an order of its own: the rows below "Default input" are tried
# one by one, from the keyboard, until both needles show b's tone (from
# Mic_B or from b's monitor). Sets row, or returns 1.
choose_b() {
    for row in 2 3 4 5 6; do
        xdotool mousemove "$((ox + left_picture_x + 100))" "$((oy + picture_y + 60))" click 3
        wait_for_menu || return 1
        # The first Down lights the first row.
        keys $(printf 'Down %.0s' $(seq $((row + 1)))) Return
        expect_meters "$ox" "$oy" "$work/expected-76.png" "$work/expected-38.png" 4 \
            2>/dev/null && return 0
    done
    return 1
}

case_input() {
    local id ox oy w h mx my mw mh players row ok=0
    make_inputs || return 1
    if open_window input; then
        if choose_b; then
            log "input: b's tone shows from the menu's row $row"
        else
            log "input: no input of the menu shows b's tone"
            ok=1
        fi
        xdotool key --window "$id" alt+F4 2>/dev/null
        expect_exit_zero || { log "input: Alt+F4 did not end the program"; ok=1; }
    else
        ok=1
    fi
    # shellcheck disable=SC2046
    if ! grep -Eq '^Input=\{0\.0\.1\.[0-9a-f]{8}\}\.\{[0-9A-Fa-f-]{36}\}' $(settings_file) \
        2>/dev/null || ! grep -Eq '^InputName=.' $(settings_file); then
        log "input: the settings file holds no endpoint ID with its name:" \
            "$(cat $(settings_file) 2>&1)"
        ok=1
    fi
    if open_window "input again"; then
        expect_timed "input: b's tone after a restart" "$work/expected-76.png" \
            "$work/expected-38.png" 20 || ok=1
        close_with_delete_window || { log "input: close after the restart failed"; ok=1; }
    else
        ok=1
    fi
    stop_players
    return $ok
}

case_playing() {
    local id ox oy w h folder ok=0
    folder="$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Roaming/Vellumtone"
    mkdir -p "$folder" && printf '[Vellumtone]\nPlaying=1\n' >"$folder/vellumtone.ini"
    play_signal --sine 24576 12288 100
    if open_window playing; then
        expect_timed "playing: the default input stands in" "$work/expected-76.png" \
            "$work/expected-38.png" 20 || ok=1
        close_with_delete_window || { log "playing: close failed"; ok=1; }
    else
        ok=1
    fi
    stop_player
    grep -q '^Playing=1' "$folder/vellumtone.ini" || { log "playing: the choice was dropped"; ok=1; }
    return $ok
}

# ---------------------------------------------------------------- driver

run_named_case
prepare_run wine wineserver
run_case input --wine
run_case playing --wine
report_and_exit
