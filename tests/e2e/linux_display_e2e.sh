#!/bin/bash
# End-to-end test of the native Linux program when its display fails it.
# Each case runs the real vellumtone on its own private virtual display and
# sound server (tests/with_services.sh), recording a signal that the meters
# show, so that every thread of the program is at work:
#   lost         the X server is killed (by its pid): the program says on
#                stderr that it lost the display and ends with exit code 1
#                within the exit wait
#   windowclose  another client destroys the main window (xdotool
#                windowclose): the program ends as on a close request, with
#                exit code 0
#   nofont       with a font configuration that holds no font at all, the
#                button still shows its label (black text pixels inside its
#                edge), and a close request ends the program with exit code 0
#   stuckwrite   the settings file's flush never returns (a preloaded library
#                holds every fsync of it, as a home folder whose file server
#                went away does): a choice made in the menu, then a close
#                request: the program ends with exit code 0 within 1.5 s, and
#                no settings file was left (none was there before): never a
#                half-written one
#
#   linux_display_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

e2e_name=linux_display_e2e
case_timeout=60
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"
use_linux_build "${1:-}"

# ---------------------------------------------------------------- cases
# These run inside with_services.sh, with DISPLAY, PULSE_SERVER and
# VELLUMTONE_XVFB_PID set.

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Starts the program and waits until its meters show a playing signal.
open_recording() {  # case name
    open_window "$1" || return 1
    play_signal 16384 8192 30
    expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 15 ||
        { log "$1: meters do not show readings 51 and 25"; return 1; }
}

case_lost() {
    local id ox oy w h ok=0 status killed
    open_recording lost || return 1
    killed=$(now_ms)
    kill "$VELLUMTONE_XVFB_PID"
    if ! wait_for_end; then
        log "lost: the program still ran $((exit_wait / 10)) s after the X server was killed"
        ok=1
    else
        log "lost: ended $(($(now_ms) - killed)) ms after the X server was killed"
        [ "$status" = 1 ] || { log "lost: exit code $status, expected 1"; ok=1; }
    fi
    grep -q '^vellumtone: lost the connection to the X display' "$work/app.err" ||
        { log "lost: stderr does not say that the display was lost"; ok=1; }
    stop_player
    return $ok
}

case_windowclose() {
    local id ox oy w h ok=0
    open_recording windowclose || ok=1
    xdotool windowclose "$id"
    expect_exit_zero || { log "windowclose: the destroyed window did not end the program"; ok=1; }
    stop_player
    return $ok
}

case_nofont() {
    local id ox oy w h ok=0 text_pixels
    printf '<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig/>\n' \
        >"$work/no-fonts.conf"
    program=(env FONTCONFIG_FILE="$work/no-fonts.conf" "$build/vellumtone")
    open_window nofont || return 1
    # Inside the 2-pixel edge, only the label is black. The window shows
    # before its first paint, which a slow start (a sanitizer) can delay.
    for _ in $(seq 50); do
        grab_button "$ox" "$oy" "$work/button.png" || return 1
        text_pixels=$(convert "$work/button.png" -crop 342x22+4+4 +repage txt:- | grep -c ' #000000 ')
        [ "$text_pixels" -ge 50 ] && break
        sleep 0.1
    done
    if [ "$text_pixels" -lt 50 ]; then
        log "nofont: the button shows no label ($text_pixels black pixels)"
        cp "$work/screen.png" "$work/last-screen.png"
        ok=1
    fi
    close_with_delete_window || { log "nofont: close failed"; ok=1; }
    return $ok
}

case_stuckwrite() {
    local id ox oy w h ok=0 asked folder="$XDG_CONFIG_HOME/vellumtone"
    program=(env LD_PRELOAD="$build/stall_settings_fsync.so"
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" "$build/vellumtone")
    open_window stuckwrite || return 1
    # The keyboard reaches the window under the pointer.
    xdotool mousemove "$((ox + rest_x))" "$((oy + rest_y))"
    sleep 0.2
    xdotool key shift+F10
    wait_for_menu || { log "stuckwrite: no menu"; close_with_delete_window; return 1; }
    # End: the last item that can be chosen, "Hold overload until clicked".
    xdotool key End Return
    # The writer is at the flush once its temporary file is there.
    for _ in $(seq 50); do
        [ -n "$(ls -A "$folder" 2>/dev/null)" ] && break
        sleep 0.1
    done
    [ -n "$(ls -A "$folder" 2>/dev/null)" ] || { log "stuckwrite: the choice was not written"; ok=1; }
    asked=$(now_ms)
    close_with_delete_window || { log "stuckwrite: no end after the close request"; ok=1; }
    log "stuckwrite: ended $(($(now_ms) - asked)) ms after the close request"
    [ "$(($(now_ms) - asked))" -le 1500 ] || { log "stuckwrite: the end took over 1.5 s"; ok=1; }
    [ ! -e "$folder/vellumtone.ini" ] ||
        { log "stuckwrite: a settings file was made although its flush never ended"; ok=1; }
    return $ok
}

# ---------------------------------------------------------------- driver

run_named_case
prepare_run "$build/vellumtone" "$build/stall_settings_fsync.so"
run_case lost
run_case windowclose
run_case nofont --no-pulse
run_case stuckwrite --no-pulse
report_and_exit
