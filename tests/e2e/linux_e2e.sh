#!/bin/bash
# End-to-end test of the native Linux program. Each case runs the real
# vellumtone on a private virtual display and, where it needs sound, a
# private PulseAudio server (tests/with_services.sh), then looks at it the way
# a user would:
#   signal    a stereo square wave (left 16384, right 8192) played into the
#             "meter" sink shows on each canvas exactly as the engine draws 20
#             readings of 51 and 25; the client area is 1024 x 220; each click
#             on the button hands the donation address to xdg-open (a stand-in
#             first in PATH) once, as one argument, and toggles the pressed
#             look; a close request ends the program with exit code 0
#   pipewire  the same under PipeWire, whose graph runs at 48 kHz: a sine
#             wave (left 24576, right 12288) keeps its readings of 76 and 38
#             through both resamplings (skipped without PipeWire)
#   overload  a full-scale signal lights the overload disc on both meters
#   hidden    unmapped while the signal changes, then mapped again: the meters
#             show the new readings at once
#   nopulse   without a sound server the window opens and the meters rest
#   strayrelease  with the window menu open, the left button goes down on
#             the donation button (which only closes the menu) and up there:
#             a release without its press is no click, and the browser is not
#             called; a whole click after it calls it once
#   nobrowser without xdg-open, and with one that finds no handler (exit
#             3), a click on the button is said beside it for about five
#             seconds, then the line is the plain background again; a close
#             request still ends the program with exit code 0
#   dpi       Xft.dpi 144 gives a 1536 x 330 client area; values that state
#             no scale (0, -5, nan, inf) give 96 DPI, finite ones out of
#             range are clamped into 48..480 (1e308, 100000: 480; 0.001: 48);
#             the window has the size of that DPI and a close request ends
#             the program with exit code 0
#   scaled    at Xft.dpi 120, 144 and 192 each canvas shows, pixel for pixel,
#             the engine's picture for its scaled control (the dial fills
#             it) with the readings of the signal of case signal
#   smallscreen  on a 1280 x 800 screen at Xft.dpi 120, with no window
#             manager, the 1280-pixel wide window stands within the screen
#             (not at x = 37, past its right edge); at Xft.dpi 144, where it
#             would be 1536 wide, it takes the largest DPI at which it fits
#             (120); with openbox, the largest at which its frame fits too,
#             within openbox's work area; each time both canvases show, pixel
#             for pixel, the engine's pictures for the scale taken
#   rescale   while the program runs with that signal, xrdb -merge of Xft.dpi
#             144 gives the window, the button and both canvases the size and
#             place of 144 DPI, and each canvas the engine's picture for it,
#             pixel for pixel; Xft.dpi nan then brings all of it back to 96
#             DPI; a close request still ends the program with exit code 0
#
#   linux_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

e2e_name=linux_e2e
case_timeout=180
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"
use_linux_build "${1:-}"

# ---------------------------------------------------------------- cases
# These run inside with_services.sh, with DISPLAY and PULSE_SERVER set.

case_signal() {
    local id ox oy w h ok=0
    open_window signal || return 1
    expect_client_area signal 1024 220 || ok=1
    if [ "$VELLUMTONE_SOUND" = pipewire ]; then
        play_signal --sine 24576 12288 30
        expect_meters "$ox" "$oy" "$work/expected-76.png" "$work/expected-38.png" 15 ||
            { log "signal: meters do not show readings 76 and 38"; ok=1; }
    else
        play_signal 16384 8192 30
        expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 15 ||
            { log "signal: meters do not show readings 51 and 25"; ok=1; }
    fi
    stop_player
    check_button "$ox" "$oy" || ok=1
    close_with_delete_window || { log "signal: close failed"; ok=1; }
    return $ok
}

case_pipewire() { case_signal; }

case_overload() {
    local id ox oy w h ok=0
    open_window overload || return 1
    play_signal 32767 32767 30
    expect_meters "$ox" "$oy" "$work/expected-101.png" "$work/expected-101.png" 15 ||
        { log "overload: the overload disc is not lit as the engine draws it"; ok=1; }
    stop_player
    close_with_delete_window || { log "overload: close failed"; ok=1; }
    return $ok
}

# Unmapped (an icon, as far as the program can tell) while the signal
# changes, then mapped again: the meters show the new readings at once.
case_hidden() {
    local id ox oy w h ok=0
    open_window hidden || return 1
    play_signal 16384 8192 60
    expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 15 ||
        { log "hidden: meters do not show readings 51 and 25"; ok=1; }
    xdotool windowunmap --sync "$id"
    stop_player
    play_signal 24576 12288 60
    sleep 2
    xdotool windowmap --sync "$id"
    expect_meters "$ox" "$oy" "$work/expected-76.png" "$work/expected-38.png" 15 ||
        { log "hidden: mapped again, the meters do not show readings 76 and 38"; ok=1; }
    stop_player
    close_with_delete_window || { log "hidden: close failed"; ok=1; }
    return $ok
}

case_nopulse() {
    local id ox oy w h ok=0
    open_window nopulse || return 1
    expect_meters "$ox" "$oy" "$work/expected-rest.png" "$work/expected-rest.png" 10 ||
        { log "nopulse: the meters are not at rest"; ok=1; }
    close_with_delete_window || { log "nopulse: close failed"; ok=1; }
    return $ok
}

case_strayrelease() {
    local id ox oy w h ok=0
    open_window strayrelease || return 1
    xdotool mousemove "$((ox + rest_x))" "$((oy + rest_y))"
    sleep 0.2
    xdotool key shift+F10
    wait_for_menu || { log "strayrelease: no menu"; close_with_delete_window; return 1; }
    xdotool mousemove "$((ox + button_x + 175))" "$((oy + button_y + 15))"
    sleep 0.2
    xdotool mousedown 1
    sleep 0.3
    xdotool mouseup 1
    sleep 1.5
    [ "$(opened_count)" = 0 ] ||
        { log "strayrelease: a release without its press called the browser"; ok=1; }
    click_button "$ox" "$oy"
    [ "$(opened_count)" = 1 ] ||
        { log "strayrelease: a whole click called the browser $(opened_count) times"; ok=1; }
    close_with_delete_window || { log "strayrelease: close failed"; ok=1; }
    return $ok
}

case_nobrowser() {
    local id ox oy w h ok=0 path
    mkdir -p "$work/none" "$work/refusing"
    printf '#!/bin/sh\nexit 3\n' >"$work/refusing/xdg-open"
    chmod +x "$work/refusing/xdg-open"
    for path in none refusing; do
        program=(env PATH="$work/$path" "$build/vellumtone")
        open_window "nobrowser ($path)" || { ok=1; continue; }
        expect_status_line "nobrowser ($path): before the click" "$ox" "$oy" empty || ok=1
        xdotool mousemove "$((ox + button_x + 175))" "$((oy + button_y + 15))" click 1
        expect_status_line "nobrowser ($path): after the click" "$ox" "$oy" shown || ok=1
        sleep 4
        expect_status_line "nobrowser ($path): seconds later" "$ox" "$oy" empty || ok=1
        close_with_delete_window || { log "nobrowser ($path): close failed"; ok=1; }
    done
    return $ok
}

# The X server forgets its resources when its last client leaves: a client
# that stays connected keeps them between the runs of the program. Sets
# holder.
keep_resources() {
    xprop -root -spy >/dev/null 2>&1 &
    holder=$!
    sleep 0.3
}

set_xft_dpi() { echo "Xft.dpi: $1" | xrdb -nocpp -merge; }

case_dpi() {
    local holder ok=0
    keep_resources
    expect_bounded_dpi set_xft_dpi 144:144 0:96 -5:96 nan:96 inf:96 1e308:480 100000:480 \
        0.001:48 || ok=1
    kill "$holder" 2>/dev/null
    return $ok
}

case_scaled() {
    local holder ok=0
    keep_resources
    play_signal 16384 8192 60
    expect_scaled_meters set_xft_dpi 120 144 192 || ok=1
    stop_player
    kill "$holder" 2>/dev/null
    return $ok
}

# The largest whole DPI up to the given one at which the client area and a
# frame of the given size fit the area.
fitting_dpi() {  # dpi frame_width frame_height area_width area_height
    local dpi=$1
    while [ "$dpi" -gt 96 ] && { [ $(($(scaled 1024 "$dpi") + $2)) -gt "$4" ] ||
        [ $(($(scaled 220 "$dpi") + $3)) -gt "$5" ]; }; do
        dpi=$((dpi - 1))
    done
    echo "$dpi"
}

# The window kept on the 1280 x 800 screen (the case's Xft.dpi), with a
# window manager if asked: the largest scale that fits, the window within
# the work area, the meters drawn for that scale.
check_fit() {  # case dpi [wm]
    local id ox oy w h wm="" extents=(0 0 0 0) area=(0 0 1280 800) dpi=96 ok=0
    if [ "${3:-}" = wm ]; then
        openbox >/dev/null 2>&1 &
        wm=$!
        for _ in $(seq 50); do
            xprop -root _NET_WORKAREA 2>/dev/null | grep -q '=' && break
            sleep 0.1
        done
        read -ra area <<<"$(xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g')"
    fi
    play_signal 16384 8192 60
    if open_window "$1"; then
        for _ in $(seq 50); do
            [ -z "$wm" ] && break
            xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '=' && break
            sleep 0.1
        done
        [ -n "$wm" ] && read -ra extents <<<"$(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
        dpi=$(fitting_dpi "$2" $((extents[0] + extents[1])) $((extents[2] + extents[3])) \
            "${area[2]}" "${area[3]}")
        scale_layout "$dpi"
        log "$1: frame ${extents[*]}, work area ${area[*]:0:4}: expecting $dpi DPI"
        # The window takes its size, then its place on the work area: both
        # must hold still before the screen is read (a slow program, under
        # a sanitizer, moves it a while after it has grown).
        local last=""
        for _ in $(seq 50); do
            read -r ox oy w h <<<"$(window_geometry "$id")"
            [ "$w" = "$client_w" ] && [ "$h" = "$client_h" ] && [ "$last" = "$ox $oy $w $h" ] &&
                break
            last="$ox $oy $w $h"
            sleep 0.4
        done
        expect_client_area "$1" "$client_w" "$client_h" || ok=1
        if [ $((ox - extents[0])) -lt "${area[0]}" ] || [ $((oy - extents[2])) -lt "${area[1]}" ] ||
            [ $((ox + w + extents[1])) -gt $((area[0] + area[2])) ] ||
            [ $((oy + h + extents[3])) -gt $((area[1] + area[3])) ]; then
            log "$1: the window at ($ox, $oy), ${w}x$h, frame ${extents[*]}, reaches past the work area"
            ok=1
        fi
        render "expected-$dpi-51" $(readings 51) && render "expected-$dpi-25" $(readings 25) &&
            expect_meters "$ox" "$oy" "$work/expected-$dpi-51.png" "$work/expected-$dpi-25.png" 20 ||
            { log "$1: meters differ from their pictures at $dpi DPI"; ok=1; }
        close_with_delete_window || { log "$1: close failed"; ok=1; }
    else
        ok=1
    fi
    stop_player
    [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
    return $ok
}

case_smallscreen() {
    local holder ok=0
    keep_resources
    set_xft_dpi 120
    check_fit "smallscreen: 120 DPI" 120 || ok=1
    set_xft_dpi 144
    check_fit "smallscreen: 144 DPI" 144 || ok=1
    if command -v openbox >/dev/null 2>&1; then
        check_fit "smallscreen: 144 DPI with openbox" 144 wm || ok=1
    else
        log "smallscreen: with openbox: skipped, openbox is not installed"
    fi
    kill "$holder" 2>/dev/null
    return $ok
}

# The button and the canvases, each as WxH+X+Y in the client area, sorted.
child_geometries() {  # window id
    xwininfo -children -id "$1" | awk '$1 ~ /^0x/ {print $(NF - 1)}' | sort
}

expected_children() {  # dpi
    local size
    size="$(scaled 497 "$1")x$(scaled 141 "$1")"
    {
        echo "$(scaled 350 "$1")x$(scaled 30 "$1")+$(scaled 330 "$1")+$(scaled 170 "$1")"
        echo "$size+$(scaled 10 "$1")+$(scaled 10 "$1")"
        echo "$size+$(scaled 517 "$1")+$(scaled 10 "$1")"
    } | sort
}

# Waits up to ten seconds until the client area and the child windows have
# the size and place of the DPI; updates w and h.
expect_layout() {  # id dpi
    local children=""
    for _ in $(seq 50); do
        read -r _ _ w h <<<"$(window_geometry "$1")"
        children=$(child_geometries "$1")
        [ "$w" = "$client_w" ] && [ "$h" = "$client_h" ] &&
            [ "$children" = "$(expected_children "$2")" ] && return 0
        sleep 0.2
    done
    log "rescale: at $2 DPI the client area is ${w}x$h, expected ${client_w}x$client_h;" \
        "children: ${children//$'\n'/ } expected: $(expected_children "$2" | tr '\n' ' ')"
    return 1
}

case_rescale() {
    local holder id ox oy w h step dpi ok=0
    keep_resources
    set_xft_dpi 96
    play_signal 16384 8192 90
    if open_window rescale; then
        # Xft.dpi as written, and the DPI the program is to use.
        for step in 96:96 144:144 nan:96; do
            dpi=${step##*:}
            scale_layout "$dpi"
            render "expected-$dpi-51" $(readings 51) && render "expected-$dpi-25" $(readings 25) ||
                { log "render_meter failed at $dpi DPI"; ok=1; continue; }
            set_xft_dpi "${step%:*}"
            expect_layout "$id" "$dpi" || ok=1
            expect_meters "$ox" "$oy" "$work/expected-$dpi-51.png" "$work/expected-$dpi-25.png" 20 ||
                { log "rescale: Xft.dpi ${step%:*}: meters differ from their pictures at $dpi DPI"; ok=1; }
        done
        close_with_delete_window || { log "rescale: close failed"; ok=1; }
    else
        ok=1
    fi
    stop_player
    kill "$holder" 2>/dev/null
    return $ok
}

# ---------------------------------------------------------------- driver

run_named_case
prepare_run "$build/vellumtone" xrdb xprop
run_case signal
if have_pipewire; then
    run_case pipewire --pipewire
else
    log "pipewire: skipped, PipeWire is not installed"
fi
run_case overload
run_case hidden
run_case nopulse --no-pulse
run_case nobrowser
run_case strayrelease --no-pulse
# 480 DPI makes the window 5120 x 1100: a screen that holds it.
run_case dpi --no-pulse --screen 5300x1300
# 192 DPI makes the window 2048 x 440, placed at (60, 60).
run_case scaled --screen 2200x600
# 144 DPI makes the window 1536 x 330, placed at (30, 30).
run_case rescale --screen 2200x600
run_case smallscreen --screen 1280x800
report_and_exit
