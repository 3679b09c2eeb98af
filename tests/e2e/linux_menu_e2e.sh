#!/bin/bash
# End-to-end test of the main window's menu in the native Linux program. Two
# inputs, "Mic_A" and "Mic_B", are the remapped monitors of two null sinks,
# "a" and "b", each playing its own sine wave (a: 16545 and 8111, readings 51
# and 25; b: 24576 and 12288, readings 76 and 38); the default source,
# meter.monitor, plays nothing. Each case runs in its own private display and
# sound server (tests/with_services.sh), with an empty settings folder:
#   nochoice  the menu opened by Shift+F10 and closed by Escape: the meters
#             rest on the default source, the status line's place beside
#             the button is the plain background, and after the program
#             ends (exit 0) there is no settings file
#   input     Shift+F10 (the first item lit), Down to Mic_B, Enter: both canvases show b's
#             readings, and the status line shows text; a right click on a
#             meter, then a left click on
#             Mic_A's item: a's readings; the program ends (exit 0), the
#             settings file holds Input=mic_a and InputName=Mic_A (the
#             name the menu showed), and a new start shows a's
#             readings with no menu action
#   playing   the default source is mic_b: b's readings; "What's playing"
#             chosen with the Menu key: the meters rest (the default sink,
#             "meter", plays nothing); pactl set-default-sink a: a's readings
#   late      Input=mic_a remembered (its name "Line In (Rear Panel)"), and
#             the server has no source at all when the program starts (a
#             login before the sound card is there); then "meter" comes back
#             as the default source: the status line says mic_a is missing,
#             whole, with words both left and right of the button and none
#             near the window's edge (where a cut line would reach); then
#             mic_a: a's readings, not meter's silence
#   pipewire  case input under PipeWire (skipped without it)
# Each picture is compared pixel by pixel with the engine's picture of 20
# readings of the expected values; the log says how long each took to show.
#
#   linux_menu_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

e2e_name=linux_menu_e2e
case_timeout=120
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"
use_linux_build "${1:-}"

# ---------------------------------------------------------------- helpers
# These run inside with_services.sh, with DISPLAY and PULSE_SERVER set.

settings_file() { echo "$XDG_CONFIG_HOME/vellumtone/vellumtone.ini"; }

# The keyboard reaches the window under the pointer (no window manager gives
# focus): the pointer goes to a point of the window away from the meters.
menu_by_key() {  # key (shift+F10 or Menu)
    xdotool mousemove "$((ox + rest_x))" "$((oy + rest_y))"
    sleep 0.2
    xdotool key "$1"
    wait_for_menu
}

# A left click on the menu's row (0 first) among those above its first
# separator; the rows there all have the height of an item, and the menu
# holds the given numbers of items and separators (8 pixels each, at 96 DPI)
# within its 2-pixel edge.
click_row() {  # row items separators
    local row_height=$(((mh - 4 - 8 * $3) / $2))
    xdotool mousemove "$((mx + mw / 2))" "$((my + 2 + $1 * row_height + row_height / 2))"
    sleep 0.2
    xdotool click 1
}

# How many colours a part of the last screenshot shows within the window:
# 1 for the plain background.
screen_colours() {  # x y width height (client pixels)
    convert "$work/screen.png" -crop "${3}x${4}+$((ox + $1))+$((oy + $2))" +repage \
        -format %k info:
}

# Waits up to five seconds for a line too long for the room right of the
# button (690 to 1014, at 96 DPI) to show whole: words in the room left of
# it (10 to 320) and right of it, and none in the 34 pixels up to the
# window's edge, which a line cut with "..." reaches within a character.
expect_status_line_whole() {  # case
    local left="" right="" edge=""
    for _ in $(seq 25); do
        import -window root "$work/screen.png" 2>/dev/null || return 1
        left=$(screen_colours 10 170 310 30)
        right=$(screen_colours 690 170 300 30)
        edge=$(screen_colours 990 170 34 30)
        [ "${left:-0}" -gt 1 ] && [ "${right:-0}" -gt 1 ] && [ "$edge" = 1 ] && return 0
        sleep 0.2
    done
    cp "$work/screen.png" "$work/last-screen.png"
    log "$1: status line not whole across the button: $left colours left of it," \
        "$right right of it, $edge at the edge"
    return 1
}

# ---------------------------------------------------------------- cases
# The menu here: Default input, Mic_A, Mic_B, separator, What's playing, the
# monitors of meter, a and b, separator, Always on top, separator, Scale
# marks, Decibel scale, Peak hold, Level readout, Hold overload until
# clicked, Clear overload.

case_nochoice() {
    local id ox oy w h players ok=0
    make_inputs || return 1
    if open_window nochoice; then
        expect_timed "nochoice: rest" "$work/expected-rest.png" "$work/expected-rest.png" 10 || ok=1
        if menu_by_key shift+F10; then
            keys Down Down Escape
            sleep 0.5
            expect_timed "nochoice: rest after Escape" "$work/expected-rest.png" \
                "$work/expected-rest.png" 10 || ok=1
            expect_status_line nochoice "$ox" "$oy" empty || ok=1
        else
            ok=1
        fi
        close_with_delete_window || { log "nochoice: close failed"; ok=1; }
    else
        ok=1
    fi
    stop_players
    if [ -e "$(settings_file)" ]; then
        log "nochoice: a settings file was written: $(cat "$(settings_file)")"
        ok=1
    fi
    return $ok
}

case_input() {
    local id ox oy w h mx my mw mh players ok=0
    make_inputs || return 1
    if open_window input; then
        if menu_by_key shift+F10; then
            keys Down Down Return
            expect_timed "input: Mic_B by keyboard" "$work/expected-76.png" \
                "$work/expected-38.png" 15 || ok=1
            expect_status_line input "$ox" "$oy" shown || ok=1
        else
            ok=1
        fi
        xdotool mousemove "$((ox + left_picture_x + 100))" "$((oy + picture_y + 60))" click 3
        if wait_for_menu; then
            click_row 1 16 3
            expect_timed "input: Mic_A by mouse" "$work/expected-51.png" \
                "$work/expected-25.png" 15 || ok=1
        else
            ok=1
        fi
        close_with_delete_window || { log "input: close failed"; ok=1; }
    else
        ok=1
    fi
    if ! grep -qx 'Input=mic_a' "$(settings_file)" 2>/dev/null ||
        ! grep -qx 'InputName=Mic_A' "$(settings_file)"; then
        log "input: the settings file holds no Input=mic_a with InputName=Mic_A:" \
            "$(cat "$(settings_file)" 2>&1)"
        ok=1
    fi
    if open_window "input again"; then
        expect_timed "input: Mic_A after a restart" "$work/expected-51.png" \
            "$work/expected-25.png" 15 || ok=1
        close_with_delete_window || { log "input: close after the restart failed"; ok=1; }
    else
        ok=1
    fi
    stop_players
    return $ok
}

case_late() {
    local id ox oy w h players ok=0
    mkdir -p "$(dirname "$(settings_file)")"
    printf '[Vellumtone]\nInput=mic_a\nInputName=Line In (Rear Panel)\n' >"$(settings_file)"
    timeout 5 pactl unload-module module-null-sink || { log "late: meter stays"; return 1; }
    open_window late || return 1
    sleep 1
    timeout 5 pactl load-module module-null-sink sink_name=meter rate=44100 channels=2 \
        >/dev/null && timeout 5 pactl set-default-source meter.monitor ||
        { log "late: could not make meter"; ok=1; }
    expect_status_line_whole late || ok=1
    make_inputs || { log "late: could not make the sources"; ok=1; }
    expect_timed "late: the remembered Mic_A" "$work/expected-51.png" "$work/expected-25.png" 15 ||
        ok=1
    close_with_delete_window || { log "late: close failed"; ok=1; }
    stop_players
    return $ok
}

case_pipewire() { case_input; }

# PulseAudio moves the streams of the old default sink to the new one, so
# the sink that becomes the default is one nothing plays into yet: "meter",
# silent, is the default sink, and a the next.
case_playing() {
    local id ox oy w h players ok=0
    make_inputs || return 1
    timeout 5 pactl set-default-source mic_b ||
        { log "playing: could not make mic_b the default source"; ok=1; }
    if open_window playing; then
        expect_timed "playing: the default input, mic_b" "$work/expected-76.png" \
            "$work/expected-38.png" 15 || ok=1
        if menu_by_key Menu; then
            keys Down Down Down Return
            expect_timed "playing: what's playing on meter (silent)" "$work/expected-rest.png" \
                "$work/expected-rest.png" 15 || ok=1
            timeout 5 pactl set-default-sink a ||
                { log "playing: could not make a the default sink"; ok=1; }
            expect_timed "playing: following the default sink to a" "$work/expected-51.png" \
                "$work/expected-25.png" 15 || ok=1
        else
            ok=1
        fi
        close_with_delete_window || { log "playing: close failed"; ok=1; }
    else
        ok=1
    fi
    grep -qx 'Playing=1' "$(settings_file)" 2>/dev/null ||
        { log "playing: the settings file holds no Playing=1"; ok=1; }
    stop_players
    return $ok
}

# ---------------------------------------------------------------- driver

run_named_case
prepare_run "$build/vellumtone"
run_case nochoice
run_case input
run_case playing
run_case late
if have_pipewire; then
    run_case pipewire --pipewire
else
    log "pipewire: skipped, PipeWire is not installed"
fi
report_and_exit
