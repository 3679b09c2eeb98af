#!/bin/bash
# End-to-end test of the reading aids in the native Linux program: scale
# marks, the peak hold with its value, the overload light held until a click,
# the decibel scale and the level readout, all turned on in the settings
# file, compared pixel for pixel with the engine's pictures (see
# check_reading_aids in e2e_helpers.sh):
#   dpi96   at 96 DPI
#   dpi144  with Xft.dpi 144, the meters drawn at their scaled size
#   lamp    the held light and the readout alone: a burst, then silence
#
#   linux_aids_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

e2e_name=linux_aids_e2e
case_timeout=90
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"
use_linux_build "${1:-}"

case_dpi96() { check_reading_aids dpi96 "$XDG_CONFIG_HOME/vellumtone" 96; }
case_dpi144() { check_reading_aids dpi144 "$XDG_CONFIG_HOME/vellumtone" 144; }

render_lamp() {  # name [--overload-held]: a meter at rest with those two aids
    # shellcheck disable=SC2046
    "$native/render_meter" --hold-overload --readout "${@:2}" "$work/$1.ppm" $(readings 0) &&
        convert "$work/$1.ppm" "$work/$1.png"
}

# With only the held overload light and the level readout on: both meters
# rest with "-inf dB" and no light; after a full-scale burst on the left and
# then silence, the left needle is back at rest, its readout says "-inf dB"
# again, and the lamp in its corner stays lit.
case_lamp() {
    local id ox oy w h ok=0
    mkdir -p "$XDG_CONFIG_HOME/vellumtone"
    printf '[Vellumtone]\nHoldOverload=1\nLevelReadout=1\n' \
        >"$XDG_CONFIG_HOME/vellumtone/vellumtone.ini"
    render_lamp rest && render_lamp lamp --overload-held ||
        { log "lamp: render_meter failed"; return 1; }
    open_window lamp || return 1
    expect_meters "$ox" "$oy" "$work/rest.png" "$work/rest.png" 10 ||
        { log "lamp: the meters do not rest with their readouts"; ok=1; }
    play_signal --dc 32767 0 1
    wait "$player_pid"
    expect_meters "$ox" "$oy" "$work/lamp.png" "$work/rest.png" 20 ||
        { log "lamp: after a burst and silence, no lamp by the left needle at rest"; ok=1; }
    close_with_delete_window || { log "lamp: close failed"; ok=1; }
    return $ok
}

run_named_case
prepare_run "$build/vellumtone"
run_case dpi96
run_case dpi144 --dpi 144 --screen 1700x600
run_case lamp
report_and_exit
