#!/bin/bash
# End-to-end test of the Linux program's own Wayland window under GNOME's
# compositor. Each case runs the real vellumtone, as an unprivileged user, in
# a private headless mutter with a private PulseAudio server
# (tests/gnome_session.sh), with WAYLAND_DEBUG=1: what the program asked and
# what mutter answered is the test's view of the window, and every case ends
# by checking that log with tests/tools/wayland_log_check.py (popup grabs and
# activation with a press's serial, a cursor for every pointer entry, buffer
# sizes the buffer scale divides). The mouse and keys are mutter's
# remote-desktop devices (tests/tools/mutter_input.py). Cases:
#   menu      a right click on the left meter opens a menu, its corner at the
#             pointer, that stays open (no popup_done within a second); a left
#             click on the row of Mic_B (tests/e2e/linux_menu_e2e.sh makes the
#             inputs) chooses it: the program's recording stream moves to mic_b
#   keys      Shift+F10 opens a menu that stays open; Escape closes it
#   close     once the window is shown (a configure acked, a buffer attached
#             and committed) and has the keyboard, Alt+F4 ends the program
#             with exit code 0
#   lost      mutter killed (by its pid): exit code 1 and exactly one line
#             of the program's own on stderr
#   replug    the remote-desktop session stopped (the seat loses its pointer
#             and keyboard) and a new one started: a right click still opens
#             the menu
#
#   gnome_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

e2e_name=gnome_e2e
case_timeout=40
# end_pids (sourced, it defines only its functions; the helpers' log
# then replaces its own).
# shellcheck source=tests/sound_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/../sound_server.sh"
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"
use_linux_build "${1:-}"
# The cases run in a GNOME session instead of with_services.sh.
services=$root/tests/gnome_session.sh
# shellcheck source=tests/gnome_session.sh
source "$services"

# A point of the left meter's picture, in the client area (logical pixels).
meter_point_x=$((left_picture_x + 100))
meter_point_y=$((picture_y + 60))

# ---------------------------------------------------------------- the protocol log
# The program's stderr, $work/app.err, holds the log. Ids are reused once
# freed, so each question is about the newest object of its kind.

# The surface of the first xdg_surface: the main window's.
main_surface() {
    perl -ne 'if (/-> xdg_wm_base@\d+\.get_xdg_surface\(new id xdg_surface@\d+, wl_surface@(\d+)\)/)
        { print "$1\n"; exit }' "$work/app.err"
}

# The window is shown: its xdg_surface's configure acked, and after that a
# buffer attached to its surface and committed.
window_shown() {
    perl -ne '
        if (!defined $xdg && /-> xdg_wm_base@\d+\.get_xdg_surface\(new id xdg_surface@(\d+), wl_surface@(\d+)\)/)
            { ($xdg, $surface) = ($1, $2) }
        next unless defined $xdg;
        $acked = 1 if /-> xdg_surface\@$xdg\.ack_configure\(/;
        $attached = 1 if $acked && /-> wl_surface\@$surface\.attach\(wl_buffer@/;
        if ($attached && /-> wl_surface\@$surface\.commit\(/) { $shown = 1; last }
        END { exit($shown ? 0 : 1) }' "$work/app.err"
}

# The main window has the keyboard: its last wl_keyboard event of focus is
# an enter on its surface.
has_keyboard() {
    local surface
    surface=$(main_surface)
    SURFACE=$surface perl -ne '$focus = $1 if /wl_keyboard@\d+\.(?:enter\(\d+, wl_surface@(\d+)|leave\()/;
        END { exit(($focus // "") eq $ENV{SURFACE} ? 0 : 1) }' "$work/app.err"
}

# Where the program last heard the pointer was: "SURFACE X Y" (logical,
# surface-local), or nothing once it left. libdecor's own wl_pointer hears
# the same.
pointer_place() {
    perl -ne '
        if (/wl_pointer@\d+\.enter\(\d+, wl_surface@(\d+), ([-\d.]+), ([-\d.]+)\)/) { ($s, $x, $y) = ($1, $2, $3) }
        elsif (/wl_pointer@\d+\.motion\(\d+, ([-\d.]+), ([-\d.]+)\)/) { ($x, $y) = ($1, $2) }
        elsif (/wl_pointer@\d+\.leave\(/) { $s = undef }
        END { printf "%d %d %d\n", $s, $x, $y if defined $s }' "$work/app.err"
}

pointer_on() { [ "$(pointer_place | awk '{print $1}')" = "$1" ]; }  # surface

# The newest popup: "POPUP SURFACE X Y WIDTH HEIGHT STATE", its place
# relative to the main window's geometry and size from its configure, and
# STATE open (configured and drawn), new (not yet), done (the compositor
# dismissed it: popup_done) or destroyed (by the program).
popup_info() {
    perl -ne '
        $surface_of{$1} = $2 if /-> xdg_wm_base@\d+\.get_xdg_surface\(new id xdg_surface@(\d+), wl_surface@(\d+)\)/;
        if (/-> xdg_surface@(\d+)\.get_popup\(new id xdg_popup@(\d+),/) {
            ($p, $s, $state, @box) = ($2, $surface_of{$1}, "new", 0, 0, 0, 0);
            next;
        }
        next unless defined $p;
        @box = ($1, $2, $3, $4) if /xdg_popup\@$p\.configure\((-?\d+), (-?\d+), (\d+), (\d+)\)/;
        $state = "open" if $state eq "new" && $box[2] && /-> wl_surface\@$s\.commit\(/;
        $state = "done" if /xdg_popup\@$p\.popup_done\(/;
        $state = "destroyed" if $state ne "done" && /-> xdg_popup\@$p\.destroy\(/;
        END { print "$p $s @box $state\n" if defined $p }' "$work/app.err"
}

popup_state() { popup_info | awk '{print $7}'; }

# The newest popup is in the state given (and, if given, not the popup that
# popup_info described before).
popup_is() {  # state [popup_info before]
    local info
    info=$(popup_info)
    [ "$(awk '{print $7}' <<<"$info")" = "$1" ] && [ "$info" != "${2:-}" ]
}

# The main window's geometry (xdg_surface.set_window_geometry) against its
# surface: "X Y"; a popup's place is relative to it. 0 0 if never set.
window_geometry_offset() {
    perl -ne '($x, $y) = ($1, $2) if /-> xdg_surface@\d+\.set_window_geometry\((-?\d+), (-?\d+),/;
        END { printf "%d %d\n", $x, $y }' "$work/app.err"
}

# Tries the command every tenth of a second until it succeeds, for at most
# the tenths given (sound_server.sh's wait_for counts whole seconds: a short
# wait there may end at once).
within() {  # tenths command...
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

# ---------------------------------------------------------------- input
# One mutter_input.py per case, a coprocess holding one remote-desktop
# session; each command waits for its answer.

start_input() {
    local tool reply=""
    tool=$(session_program "$root/tests/tools/mutter_input.py")
    coproc INPUT { exec "${session_exec[@]}" "$dbus_python" "$tool" 2>&1; }
    read -t 10 -r reply <&"${INPUT[0]}"
    [ "$reply" = ready ] && return 0
    log "no remote-desktop session: ${reply:-no answer}"
    return 1
}

input() {  # command words
    local reply=""
    echo "$*" >&"${INPUT[1]}" && read -t 5 -r reply <&"${INPUT[0]}"
    [ "$reply" = ok ] && return 0
    log "input \"$*\": ${reply:-no answer}"
    return 1
}

# Ends the tool: its stdin closed, it ends its session.
stop_input() {
    local pid=$INPUT_PID fd=${INPUT[1]}
    exec {fd}>&-
    end_pids TERM "$pid"
}

key_chord() {  # keysym... : pressed in order, released in reverse
    local key i
    for key in "$@"; do input key "$key" down || return 1; done
    for ((i = $# ; i > 0; i--)); do input key "${!i}" up || return 1; done
}

# The program last heard the pointer at X,Y of the surface (whole pixels:
# mutter's pointer may stand between two).
pointer_at() { [ "$(pointer_place)" = "$1 $2 $3" ]; }  # surface x y

# Moves the pointer until the program hears it at X,Y of the surface, from
# where it hears it now (on that surface): relative moves, each followed by
# a wait until the program hears the pointer there, and corrected from what
# it heard, a few times at most.
pointer_to() {  # surface x y
    local place surface px py
    for _ in 1 2 3; do
        place=$(pointer_place)
        read -r surface px py <<<"$place"
        [ "${surface:-}" = "$1" ] || { log "the pointer is not on wl_surface@$1 (${place:-nowhere})"; return 1; }
        [ "$px" = "$2" ] && [ "$py" = "$3" ] && return 0
        input move $(($2 - px)) $(($3 - py)) || return 1
        within 20 pointer_at "$@" && return 0
    done
    log "the pointer did not come to $2,$3 of wl_surface@$1 (it is at $(pointer_place))"
    return 1
}

# Finds the main window: mutter places it itself (centred at the top, here)
# and tells the client nothing of that, but the pointer's entry does: from
# the top-left corner the pointer goes to points across the screen, first
# where a window placed at the top would be, until the program hears it
# enter its surface; then to X,Y of that surface. Sets surface.
pointer_to_window() {  # x y (client area, logical)
    local point
    surface=$(main_surface)
    for point in "640 150" "640 60" "640 300" "400 400" "900 500" "640 650"; do
        pointer_on "$surface" && break
        # shellcheck disable=SC2086 # the point's two words
        input to $point || return 1
        within 10 pointer_on "$surface"
    done
    pointer_to "$surface" "$1" "$2"
}

click() { input click "$1"; }  # left|right

# ---------------------------------------------------------------- the program

# Starts the program with the protocol log and waits until its window is
# shown and has the keyboard (mutter gives a new window the focus).
open_program() {  # case name
    local app
    app=$(session_program "$build/vellumtone")
    program=(env WAYLAND_DEBUG=1 "${session_exec[@]}" "$app")
    start_program
    if ! within "$window_wait" window_shown; then
        log "$1: no window shown (a configure acked, a buffer attached and committed)"
        return 1
    fi
    within 50 has_keyboard || { log "$1: the window did not get the keyboard"; return 1; }
}

# Ends the program if it still runs (its pid), for a case that is done with it.
end_program() {
    kill -0 "$app_pid" 2>/dev/null || return 0
    end_pids TERM "$app_pid"
    wait "$app_pid" 2>/dev/null
}

# The program's own lines on stderr: those that are not libwayland's log
# (which also tells of events for objects already destroyed: "discarded").
own_lines() { grep -v -E '^\[ *[0-9]+\.[0-9]+\] |^discarded ' "$work/app.err"; }

# Keeps the protocol log as app-CASE.log (and in VELLUMTONE_E2E_KEEP if
# set), checks it, and leaves in app.err the program's own lines, which the
# driver shows when a case fails.
check_log() {  # case
    local ok=0
    cp "$work/app.err" "$work/app-$1.log"
    [ -z "${VELLUMTONE_E2E_KEEP:-}" ] || cp "$work/app.err" "$VELLUMTONE_E2E_KEEP/gnome-$1.log"
    check_protocol_log "$1" "$work/app-$1.log" || ok=1
    own_lines >"$work/own.err"
    mv "$work/own.err" "$work/app.err"
    return $ok
}

# A right click on the left meter opens a menu that mutter keeps open for a
# second (it dismisses one whose grab it refused at once).
open_menu_by_click() {  # case
    local before
    pointer_to_window "$meter_point_x" "$meter_point_y" || return 1
    before=$(popup_info)
    click right || return 1
    if ! within 50 popup_is open "$before"; then
        log "$1: no menu opened by the right click ($(popup_info))"
        return 1
    fi
    expect_menu_stays "$1"
}

expect_menu_stays() {  # case
    sleep 1
    [ "$(popup_state)" = open ] && return 0
    log "$1: the menu did not stay open ($(popup_info))"
    return 1
}

# The index of the source the program records from: "" if none. The
# remapped sources' own streams on their masters belong to no client.
recording_source() {
    timeout 5 pactl list source-outputs short 2>/dev/null | awk '$3 != "-" {print $2; exit}'
}
records_from() { [ "$(recording_source)" = "$1" ]; }  # source index

source_index() {  # name
    timeout 5 pactl list sources short 2>/dev/null | awk -v name="$1" '$2 == name {print $1}'
}

# ---------------------------------------------------------------- cases

case_menu() {
    local players ok=0 psurface px py pw ph gx gy row_height row_y surface mx my mic_b
    make_inputs || return 1
    start_input || return 1
    if open_program menu && open_menu_by_click menu; then
        read -r _ psurface px py pw ph _ <<<"$(popup_info)"
        read -r gx gy <<<"$(window_geometry_offset)"
        # Placed at the pointer: the menu's corner where the click was
        # (xdg_positioner's anchor is relative to the window's geometry,
        # which under GNOME holds libdecor's title bar too).
        if [ "$((gx + px)) $((gy + py))" != "$meter_point_x $meter_point_y" ]; then
            log "menu: its corner is at $((gx + px)),$((gy + py)) of the client area, not at" \
                "the click, $meter_point_x,$meter_point_y"
            ok=1
        fi
        # The menu's rows (ui/wayland/popup_menu_wayland.cpp, at scale 1):
        # a 2-pixel edge, items of one height, separators of 8; here Default
        # input, Mic_A, Mic_B, separator, What's playing, the monitors of
        # meter, a and b, separator, Always on top, separator and six reading
        # aids: 14 items and 3 separators. Mic_B is the third row.
        row_height=$(((ph - 4 - 3 * 8) / 14))
        row_y=$((2 + 2 * row_height + row_height / 2))
        # The popup's place is relative to the window's geometry. A pointer
        # on the main surface goes from where it is there onto the popup,
        # then follows the popup's own coordinates.
        read -r surface mx my <<<"$(pointer_place)"
        if [ "$surface" != "$psurface" ]; then
            input move $((gx + px + pw / 2 - mx)) $((gy + py + row_y - my)) &&
                within 20 pointer_on "$psurface"
        fi
        pointer_to "$psurface" $((pw / 2)) "$row_y" && click left ||
            { log "menu: could not click the row of Mic_B"; ok=1; }
        within 30 popup_is destroyed ||
            { log "menu: the menu did not close after the click ($(popup_info))"; ok=1; }
        mic_b=$(source_index mic_b)
        within 100 records_from "$mic_b" ||
            { log "menu: the program records from source $(recording_source), not mic_b ($mic_b)"; ok=1; }
    else
        ok=1
    fi
    end_program
    stop_input
    stop_players
    check_log menu || ok=1
    return $ok
}

case_keys() {
    local ok=0 before
    start_input || return 1
    if open_program keys; then
        before=$(popup_info)
        key_chord Shift_L F10
        if within 50 popup_is open "$before"; then
            expect_menu_stays keys || ok=1
            key_chord Escape
            within 30 popup_is destroyed ||
                { log "keys: Escape did not close the menu ($(popup_info))"; ok=1; }
        else
            log "keys: Shift+F10 opened no menu ($(popup_info))"
            ok=1
        fi
    else
        ok=1
    fi
    end_program
    stop_input
    check_log keys || ok=1
    return $ok
}

case_close() {
    local ok=0
    start_input || return 1
    if open_program close; then
        key_chord Alt_L F4 && expect_exit_zero || { log "close: Alt+F4 did not end it with 0"; ok=1; }
    else
        ok=1
    fi
    end_program
    stop_input
    check_log close || ok=1
    return $ok
}

case_lost() {
    local ok=0 status lines
    start_input || return 1
    if open_program lost; then
        sleep 0.5  # running, not only shown
        kill "$VELLUMTONE_MUTTER_PID"
        if wait_for_end; then
            lines=$(own_lines | wc -l)
            if [ "$status" != 1 ] || [ "$lines" != 1 ]; then
                log "lost: after mutter was killed: exit code $status, $lines lines of its own" \
                    "on stderr, expected 1 and 1"
                ok=1
            fi
        else
            log "lost: the program still ran $((exit_wait / 10)) s after mutter was killed"
            ok=1
        fi
    else
        ok=1
    fi
    end_program
    stop_input
    check_log lost || ok=1
    return $ok
}

case_replug() {
    local ok=0
    start_input || return 1
    if open_program replug && open_menu_by_click "replug (first)"; then
        key_chord Escape
        within 30 popup_is destroyed || { log "replug: Escape did not close the menu"; ok=1; }
        # The seat loses its pointer and keyboard, and gets new ones.
        input stop && input start || ok=1
        within 50 has_keyboard || { log "replug: the window has no keyboard again"; ok=1; }
        open_menu_by_click "replug (again)" || ok=1
    else
        ok=1
    fi
    end_program
    stop_input
    check_log replug || ok=1
    return $ok
}

# ---------------------------------------------------------------- driver

# A python3 that has the dbus module: Debian's own first.
for dbus_python in /usr/bin/python3 python3; do
    "$dbus_python" -c 'import dbus' 2>/dev/null && break
    dbus_python=""
done
run_named_case
if [ -z "$dbus_python" ]; then
    log "skipped, missing: python3-dbus"
    exit 77
fi
prepare_run "$build/vellumtone" mutter dbus-daemon dbus-send setpriv python3
run_case menu
run_case keys
run_case close
run_case lost
run_case replug
report_and_exit
