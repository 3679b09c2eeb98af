#!/bin/bash
# End-to-end test of the Windows program when its sound goes away: the real
# vellumtone.exe runs under Wine on a private virtual display with a private
# PulseAudio server (tests/with_services.sh), as in wine_e2e.sh:
#   restart   a square wave (left 16384, right 8192) shows as readings 51 and
#             25; the server is killed and, a few seconds later, started again
#             on the same runtime directory (tests/sound_server.sh); a new
#             square wave (left 8192, right 16384) then shows as readings 25
#             and 51 exactly as the engine draws them, without the program
#             being touched; a close request still ends it with code 0
#
#   wine_faults_e2e.sh NATIVE_BUILD_DIR WIN_BUILD_DIR
# Exit 77: skipped (no Windows build, or a tool is missing).
set -u

e2e_name=wine_faults_e2e
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"

use_windows_build "${1:-}" "${2:-}"
case_timeout=150

# ---------------------------------------------------------------- cases
# These run inside with_services.sh, with DISPLAY, PULSE_SERVER and
# WINEPREFIX set.

case_restart() {
    local id ox oy w h ok=0
    open_window restart || return 1
    play_signal 16384 8192 60
    expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 20 ||
        { log "restart: meters do not show readings 51 and 25 before the restart"; ok=1; }
    stop_player
    bash "$root/tests/sound_server.sh" kill || { log "restart: the server did not go"; return 1; }
    sleep 3  # the program tries, and fails, to reopen the device meanwhile
    bash "$root/tests/sound_server.sh" start pulse || { log "restart: no new server"; return 1; }
    play_signal 8192 16384 60
    expect_meters "$ox" "$oy" "$work/expected-25.png" "$work/expected-51.png" 30 ||
        { log "restart: meters do not show the new signal after the restart"; ok=1; }
    stop_player
    close_with_delete_window || { log "restart: the close request did not end it"; ok=1; }
    return $ok
}

# ---------------------------------------------------------------- driver

run_named_case
prepare_run wine wineserver
run_case restart --wine
report_and_exit
