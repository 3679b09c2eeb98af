#!/bin/bash
# End-to-end test of the Linux program's Wayland window on KDE's compositor,
# KWin, which scales outputs by fractions and decorates windows itself. Each
# case runs the real vellumtone, as an unprivileged user, with WAYLAND_DEBUG=1,
# in a private KWin on a virtual output of 1280 x 800 logical pixels with a
# private PulseAudio server (tests/kwin_session.sh); the mouse and the keys
# are KWin's fake input (tests/tools/wayland_fake_input), the pictures KWin's
# screenshots of the active window (its ScreenShot2 D-Bus interface), in the
# buffer's own pixels. Cases:
#   scale125  the output at scale 1.25
#   scale15   at scale 1.5; a right click on the left meter opens the menu
#             (no popup_done follows), and a left click on Mic_B's row
#             chooses it (tests/e2e/linux_menu_e2e.sh makes the inputs)
#   scale2    at scale 2; Shift+F10 opens the menu, Down Down Return
#             chooses Mic_B
#   rescale   at scale 1.5, then 1.25 while the program runs (kscreen-doctor)
# In each: once KWin has configured the window and the program has committed
# a buffer, the last buffer attached to the window's surface is the client
# area of 1024 x 220 logical pixels at the output's scale (1280x275,
# 1536x330, 2048x440), shown through a viewport of 1024 x 220; with a stereo
# square wave (left 16384, right 8192) playing into "meter", both canvases
# show, pixel for pixel, the engine's pictures of 20 readings of 51 and 25
# drawn for the scale's DPI (120, 144, 192); a chosen Mic_B shows its
# readings, 76 and 38; Alt+F4, typed, ends the program with exit code 0; and
# tests/tools/wayland_log_check.py finds no fault in its protocol log.
#
#   kwin_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

e2e_name=kwin_e2e
case_timeout=60
# Its wait_for (each wait a bounded one); sourced first, so that the log of
# e2e_helpers.sh is the one that holds.
# shellcheck source=tests/sound_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/../sound_server.sh"
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"
use_linux_build "${1:-}"
# The cases run in a KWin session instead of with_services.sh.
services=$root/tests/kwin_session.sh
# shellcheck source=tests/kwin_session.sh
source "$services"
# Debian's Python, whose D-Bus module python3-dbus is, whatever else is
# first in PATH.
python=/usr/bin/python3

# ---------------------------------------------------------------- the compositor
# These run inside kwin_session.sh, with its environment.

# One line for the fake input tool; returns once KWin has taken it.
fake() {  # command words
    local answers=$VELLUMTONE_FAKE_INPUT.out count
    count=$(wc -l <"$answers")
    echo "$*" >"$VELLUMTONE_FAKE_INPUT"
    for _ in $(seq 50); do
        [ "$(wc -l <"$answers")" -gt "$count" ] && return 0
        sleep 0.1
    done
    log "the fake input did not take: $*"
    return 1
}

# Keys by their evdev codes: each pressed in turn and released the other
# way round, as a chord is typed.
chord() {  # code...
    local code codes=("$@") i
    for code in "${codes[@]}"; do fake key "$code" down || return 1; done
    for ((i = ${#codes[@]} - 1; i >= 0; i--)); do fake key "${codes[i]}" up || return 1; done
}
# A point of the left meter, in the client area's logical pixels.
meter_point_x=$((left_picture_x + 100))
meter_point_y=$((picture_y + 60))
KEY_RETURN=28
KEY_SHIFT=42
KEY_ALT=56
KEY_F4=62
KEY_F10=68
KEY_DOWN=108
BUTTON_LEFT=272
BUTTON_RIGHT=273

# The program's protocol log, as it stands.
protocol() { cat "$work/app.err"; }

# Sizes of the buffers the program attached to its window's surface (the
# first that became an xdg_surface), one "WxH" a line, in order; and, last,
# "viewport WxH": the window's last viewport destination.
window_buffers() {
    protocol | perl -ne '
        $top //= $1 if /get_xdg_surface\(new id xdg_surface\@\d+, wl_surface\@(\d+)\)/;
        $port = $1 if /get_viewport\(new id wp_viewport\@(\d+), wl_surface\@(\d+)\)/ &&
            $2 == ($top // $2);
        $size{$1} = "$2x$3" if /create_buffer\(new id wl_buffer\@(\d+), \d+, (\d+), (\d+),/;
        print "$size{$2}\n" if /-> wl_surface\@(\d+)\.attach\(wl_buffer\@(\d+)/ &&
            $1 == ($top // -1);
        $destination = "$2x$3" if /-> wp_viewport\@(\d+)\.set_destination\((-?\d+), (-?\d+)\)/ &&
            $1 == ($port // -1);
        END { print "viewport $destination\n" if defined $destination }'
}

# Seen: a configure acked, then a buffer attached and committed.
window_seen() {
    protocol | perl -ne '$acked = 1 if /-> xdg_surface\@\d+\.ack_configure/;
        $attached = 1 if $acked && /-> wl_surface\@\d+\.attach\(wl_buffer/;
        $seen = 1 if $attached && /-> wl_surface\@\d+\.commit\(\)/; END { exit !$seen }'
}

# Starts the program and waits until the window is seen and the keyboard is
# in it (KWin activates a new window). Sets app_pid.
open_window() {  # case name
    start_program
    if ! wait_for 15 window_seen; then
        log "$1: no window (no configure acked and buffer attached)"
        kill "$app_pid" 2>/dev/null
        wait "$app_pid" 2>/dev/null
        return 1
    fi
    wait_for 5 grep -q 'wl_keyboard@[0-9]*\.enter' "$work/app.err" ||
        log "$1: the keyboard did not enter the window"
}

# The last buffer attached to the window has the expected size, shown
# through a viewport of the window's logical size: waits up to ten seconds
# for it.
expect_buffer() {  # case WxH
    local buffers
    for _ in $(seq 100); do
        buffers=$(window_buffers)
        [ "$(grep -v viewport <<<"$buffers" | tail -n 1)" = "$2" ] &&
            grep -qx 'viewport 1024x220' <<<"$buffers" && return 0
        sleep 0.1
    done
    log "$1: the window's last buffer is $(grep -v viewport <<<"$buffers" | tail -n 1)," \
        "$(grep viewport <<<"$buffers"); expected $2 and viewport 1024x220"
    return 1
}

# Where the window's client area lies, in logical pixels: the pointer goes
# near the output's middle (KWin places a new window in the middle), and
# the place the program is told it is at says where the area begins. Sets
# vx vy.
find_window() {  # case name
    local at before
    before=$(pointer_events)
    # Not the very middle: KWin's pointer starts there, and a move to where
    # it is already tells the program nothing.
    fake move 600 380 || return 1
    wait_for 5 test_more_than "$before" pointer_events
    at=$(protocol | perl -ne 'printf "%d %d\n", 600 - $1, 380 - $2
        if /wl_pointer\@\d+\.(?:enter\(\d+, wl_surface\@\d+,|motion\(\d+,) ([\d.]+), ([\d.]+)\)/' |
        tail -n 1)
    if [ "$(pointer_events)" -le "$before" ] || [ -z "$at" ]; then
        log "$1: the pointer near the output's middle is not in the window"
        return 1
    fi
    read -r vx vy <<<"$at"
}
pointer_events() { grep -cE 'wl_pointer@[0-9]+\.(enter|motion)' "$work/app.err"; }
test_more_than() { [ "$("${@:2}")" -gt "$1" ]; }  # count command...

# A screenshot of the active window's client area, in its buffer's pixels
# (at the output's scale), as a PPM file. KWin's ScreenShot2 answers only
# its own user's processes: a session bus lets in its own user alone. At
# scale 1.5 KWin draws the client area a row below the place it crops
# (the title bar's height in pixels is a fraction it rounds), in the
# screenshot and on the screen alike: the area begins where the window's
# background colour does, within the first rows and columns.
screenshot_program='
import os, sys, dbus
kwin = dbus.Interface(dbus.SessionBus().get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"),
                      "org.kde.KWin.ScreenShot2")
read_end, write_end = os.pipe()
meta = kwin.CaptureActiveWindow({"include-cursor": False, "include-decoration": False,
                                 "native-resolution": True}, dbus.types.UnixFd(write_end))
os.close(write_end)
data = bytearray()
while chunk := os.read(read_end, 1 << 20):
    data += chunk
width, height, stride = int(meta["width"]), int(meta["height"]), int(meta["stride"])
# QImage formats 4 to 6 (RGB32, ARGB32, premultiplied): a 32-bit word per
# pixel, in memory blue, green, red, alpha. The window is opaque.
if int(meta["format"]) not in (4, 5, 6) or len(data) < stride * height:
    sys.exit("screenshot: format %d, %d bytes for %dx%d"
             % (meta["format"], len(data), width, height))
rgb = bytearray(width * height * 3)
for y in range(height):
    row = data[y * stride:y * stride + width * 4]
    line = y * width * 3
    for channel, source in ((0, 2), (1, 1), (2, 0)):
        rgb[line + channel:line + width * 3:3] = row[source::4]
background = bytes((205, 201, 240))
def pixel(x, y):
    return rgb[(y * width + x) * 3:(y * width + x) * 3 + 3]
top = next((y for y in range(4) if pixel(width // 2, y) == background), 0)
left = next((x for x in range(4) if pixel(x, top + 4) == background), 0)
area = bytearray()
for y in range(top, height):
    area += rgb[(y * width + left) * 3:(y + 1) * width * 3]
with open(sys.argv[1], "wb") as out:
    out.write(b"P6\n%d %d\n255\n" % (width - left, height - top) + area)
'

# grab (e2e_helpers.sh) from the window's screenshot: the origin is the
# client area's corner, 0 0.
# After an output's change KWin makes its screenshot object anew, and for a
# moment there is none: a few tries, half a second apart.
grab() {  # origin_x origin_y WxH client_x client_y output
    local try
    for try in 1 2 3 4 5 6 7 8 9 10; do
        as_session timeout 10 "$python" -c "$screenshot_program" "$work/window.ppm" \
            2>"$work/screenshot.err" && break
        [ "$try" = 10 ] && { cat "$work/screenshot.err" >&2; return 1; }
        sleep 0.5
    done
    convert "$work/window.ppm" -define png:compression-level=1 -write "$work/screen.png" \
        -crop "${3}+$(($1 + $4))+$(($2 + $5))" +repage "$6"
}

# The meters show, pixel for pixel, the engine's pictures of 20 readings of
# the given values, drawn for the DPI.
expect_readings() {  # case dpi left right
    local name=$1 dpi=$2
    scale_layout "$dpi"
    render "expected-$dpi-$3" $(readings "$3") && render "expected-$dpi-$4" $(readings "$4") ||
        { log "$name: render_meter failed"; return 1; }
    expect_meters 0 0 "$work/expected-$dpi-$3.png" "$work/expected-$dpi-$4.png" 15 && return 0
    log "$name: the meters do not show readings $3 and $4 drawn for $dpi DPI"
    return 1
}

# Alt+F4 asks the window to close: exit code 0.
close_by_keys() {
    chord "$KEY_ALT" "$KEY_F4" && expect_exit_zero && return 0
    log "Alt+F4 did not end the program with exit code 0"
    return 1
}

# ---------------------------------------------------------------- cases

# Opens the window at the session's scale and checks its buffer and meters.
# Sets app_pid and players (the Mic_ inputs are made first, when asked).
open_checked() {  # case buffer_size dpi [inputs]
    local app
    if [ -n "$VELLUMTONE_SESSION_USER" ]; then chown "$VELLUMTONE_SESSION_USER" "$work"; fi
    as_session test -w "$work" || { log "$1: the session's user cannot reach $work"; return 1; }
    app=$(session_program "$build/vellumtone")
    program=(env -u VELLUMTONE_BACKEND WAYLAND_DEBUG=1 "${session_exec[@]}" "$app")
    players=()
    if [ "${4:-}" = inputs ]; then make_inputs || return 1; fi
    play_signal 16384 8192 60
    open_window "$1" || return 1
    expect_buffer "$1" "$2" || ok=1
    expect_readings "$1" "$3" 51 25 || ok=1
}

# The end of each case: Alt+F4, and the log checked.
close_checked() {  # case
    stop_player
    stop_players
    close_by_keys || ok=1
    check_protocol_log "$1" "$work/app.err" || ok=1
    return $ok
}

case_scale125() {
    local ok=0
    open_checked scale125 1280x275 120 || return 1
    close_checked scale125
}

# The menu by the mouse: its popup's place and size come in its configure,
# relative to the window; Mic_B is its third row, and its rows (14 items and
# 3 separators of 8 pixels, at 96 DPI, within a 2-pixel edge) are found as
# the X11 test finds them.
case_scale15() {
    local ok=0 vx vy popup px py pw ph row_height edge
    open_checked scale15 1536x330 144 inputs || return 1
    if find_window scale15; then
        fake move $((vx + meter_point_x)) $((vy + meter_point_y)) &&
            fake press "$BUTTON_RIGHT" && fake release "$BUTTON_RIGHT"
        wait_for 5 grep -q 'xdg_popup@[0-9]*\.configure' "$work/app.err"
        popup=$(grep -o 'xdg_popup@[0-9]*\.configure([-0-9, ]*)' "$work/app.err" | tail -n 1 |
            tr -c '0-9-\n' ' ' | awk '{print $(NF-3), $(NF-2), $(NF-1), $NF}')
        if [ -z "$popup" ]; then
            log "scale15: a right click on the left meter opened no menu"
            ok=1
        else
            read -r px py pw ph <<<"$popup"
            # In the popup's picture, at 144 DPI: rows of equal height.
            edge=3
            row_height=$(((ph * 3 / 2 - 2 * edge - 3 * 12) / 14))
            fake move $((vx + px + pw / 2)) $((vy + py + (edge + row_height * 5 / 2) * 2 / 3)) &&
                fake press "$BUTTON_LEFT" && fake release "$BUTTON_LEFT"
            expect_readings "scale15: Mic_B chosen by the mouse" 144 76 38 || ok=1
            if grep -q 'xdg_popup@[0-9]*\.popup_done' "$work/app.err"; then
                log "scale15: KWin dismissed the menu (popup_done)"
                ok=1
            fi
        fi
    else
        ok=1
    fi
    close_checked scale15
}

case_scale2() {
    local ok=0
    open_checked scale2 2048x440 192 inputs || return 1
    chord "$KEY_SHIFT" "$KEY_F10"
    if wait_for 5 grep -q 'xdg_popup@[0-9]*\.configure' "$work/app.err"; then
        chord "$KEY_DOWN" && chord "$KEY_DOWN" && chord "$KEY_RETURN"
        expect_readings "scale2: Mic_B chosen by the keys" 192 76 38 || ok=1
    else
        log "scale2: Shift+F10 opened no menu"
        ok=1
    fi
    close_checked scale2
}

# The output's scale changes from 1.5 to 1.25 under the running program: a
# buffer of the new size, the meters drawn for 120 DPI.
case_rescale() {
    local ok=0
    open_checked rescale 1536x330 144 || return 1
    as_session env QT_QPA_PLATFORM=wayland KSCREEN_BACKEND_INPROCESS=1 \
        timeout 20 kscreen-doctor output.Virtual-0.scale.1.25 >"$work/kscreen.log" 2>&1 ||
        { log "rescale: kscreen-doctor failed: $(tail -n 3 "$work/kscreen.log")"; ok=1; }
    expect_buffer "rescale: at scale 1.25" 1280x275 || ok=1
    expect_readings "rescale: at scale 1.25" 120 51 25 || ok=1
    close_checked rescale
}

# ---------------------------------------------------------------- driver

# The protocol log apart from the program's own lines, which run_case shows
# when the case failed.
[ -z "${VELLUMTONE_E2E_CASE:-}" ] ||
    trap 'keep_protocol_apart "$work/app.err" "$work/$VELLUMTONE_E2E_CASE-protocol.log"' EXIT
run_named_case
prepare_run "$build/vellumtone" "$native/wayland_fake_input" kwin_wayland kscreen-doctor \
    dbus-daemon dbus-send setpriv
if ! "$python" -c 'import dbus' 2>/dev/null; then
    log "skipped, missing: python3-dbus"
    exit 77
fi
session=(--input "$native/wayland_fake_input")
run_case scale125 "${session[@]}" --scale 1.25
run_case scale15 "${session[@]}" --scale 1.5
run_case scale2 "${session[@]}" --scale 2
run_case rescale "${session[@]}" --scale 1.5
report_and_exit
