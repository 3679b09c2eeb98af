#!/bin/bash
# End-to-end test of the Linux program on a Wayland compositor. Each case
# runs the real vellumtone, as an unprivileged user, in a private headless
# sway (with XWayland for the first five) and a private PulseAudio server
# (tests/wayland_session.sh), and looks at it through the compositor: its
# window tree, its screenshots (grim: the output's buffer pixels), its
# seat's cursor and a virtual keyboard (wtype):
#   xwayland  with VELLUMTONE_BACKEND=x11: the X11 window under XWayland
#   native1   with no VELLUMTONE_BACKEND and DISPLAY set too: the program's
#             own Wayland window (shell xdg_shell), output scale 1
#   native2   the same on an output of scale 2
#   rescale   native; the output goes from scale 1 to 2 while it runs: the
#             meters are drawn again for 192 DPI, pixel for pixel
#   hidden    native; on another workspace while the signal changes, then
#             back: the meters show the new readings at once
#   replug    native; the seat's pointer device goes and comes back: a right
#             click on the left meter still opens the menu
#   repeat    native; Down held for a second in the menu opened by
#             Shift+F10 moves the highlight more than one row: Return then
#             chooses an item past Mic_A (the settings file shows it)
#   scale3    native; the output goes from scale 2 to 3 while the needles
#             move, a frame pending
#   fit       native; on an output of 960 x 540 logical pixels the window,
#             border included, lies within the output
#   menulook  the window menu drawn by the X11 layer (under XWayland, with
#             Xft.dpi 96 and then 192, on an output of scale 1) and by the
#             Wayland layer (natively, on outputs of scale 1 and 2): opened
#             by a right click on the left meter, the pointer then moved off
#             it, the two menus at each scale are the same, pixel for pixel
# replug, repeat and scale3 run the program with WAYLAND_DEBUG=1, and
# tests/tools/wayland_log_check.py finds no fault in its protocol log (at
# scale 3: no buffer scale committed over a buffer of the old size).
# In xwayland, native1 and native2: the window has a 1024 x 220 client area
# (logical pixels); with a stereo square wave (left 16384, right 8192)
# playing into "meter", both canvases show, pixel for pixel, the engine's
# pictures of 20 readings of 51 and 25 (at scale 2, of its controls at 192
# DPI); a click of the seat's cursor on the button hands xdg-open (a
# stand-in first in PATH) exactly one https address; a right click on the
# left meter opens a menu (the screen beyond the window changes), where Home
# Down Down Return, typed, chooses Mic_B (tests/e2e/linux_menu_e2e.sh makes
# the inputs): the canvases show its readings, 76 and 38; sway's close
# request ([pid=N] kill) ends the program with exit code 0; started again,
# it ends with exit code 1 and one line on stderr when sway is killed (by
# its pid).
# A native case is skipped (exit 77) while the program has no Wayland layer:
# told VELLUMTONE_BACKEND=wayland, it still opens an X11 window, saying why
# (a line on stderr that names Wayland) or using no Wayland library.
#
#   wayland_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

e2e_name=wayland_e2e
case_timeout=90
# Its wait_for (each wait a bounded one) and end_pids; sourced first, so
# that the log of e2e_helpers.sh is the one that holds.
# shellcheck source=tests/sound_server.sh
source "$(dirname "${BASH_SOURCE[0]}")/../sound_server.sh"
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"
use_linux_build "${1:-}"
# The cases run in a Wayland session instead of with_services.sh.
services=$root/tests/wayland_session.sh
# shellcheck source=tests/wayland_session.sh
source "$services"

# Points in the client area in logical pixels, the 96-DPI layout's: a point
# of the left meter's picture, and the button's middle.
meter_point_x=$((left_picture_x + 100))
meter_point_y=$((picture_y + 60))
button_point_x=$((button_x + 175))
button_point_y=$((button_y + 15))

# ---------------------------------------------------------------- the compositor
# These run inside wayland_session.sh, with its environment.

# grab (e2e_helpers.sh) from the compositor's screenshot, whose pixels are
# the output's buffer: at scale 2 a logical pixel is two by two.
grab() {  # origin_x origin_y WxH client_x client_y output
    grim -t ppm - >"$work/screen.ppm" 2>/dev/null || return 1
    convert "$work/screen.ppm" -define png:compression-level=1 -write "$work/screen.png" \
        -crop "${3}+$(($1 + $4))+$(($2 + $5))" +repage "$6"
}

# sway's view of the program's window: "shell x y width height", its client
# area in logical pixels.
view_of() {  # pid
    swaymsg -t get_tree -r 2>/dev/null | perl -MJSON::PP -e '
        local $/;
        my @nodes = (decode_json(<STDIN>));
        while (my $node = shift @nodes) {
            push @nodes, @{$node->{nodes} || []}, @{$node->{floating_nodes} || []};
            next unless ($node->{pid} // 0) == $ARGV[0];
            my ($rect, $client) = ($node->{rect}, $node->{window_rect});
            printf "%s %d %d %d %d\n", $node->{shell}, $rect->{x} + $client->{x},
                $rect->{y} + $client->{y}, $client->{width}, $client->{height};
            last;
        }' "$1"
}

# Starts the program and waits until sway shows its window at a place and
# size that hold still. Sets app_pid, shell and the client area: vx vy w h.
open_view() {  # case name
    local view="" last=""
    start_program
    for _ in $(seq "$window_wait"); do
        view=$(view_of "$app_pid")
        [ -n "$view" ] && [ "$view" = "$last" ] && break
        kill -0 "$app_pid" 2>/dev/null || break
        last=$view
        sleep 0.1
    done
    if [ -z "$view" ]; then
        log "$1: no window"
        kill "$app_pid" 2>/dev/null
        wait "$app_pid" 2>/dev/null
        return 1
    fi
    read -r shell vx vy w h <<<"$view"
}

cursor_to() { swaymsg seat - cursor set "$1" "$2" >/dev/null; }  # x y (logical)

click() {  # x y button1|button3 (logical)
    cursor_to "$1" "$2" && swaymsg seat - cursor press "$3" >/dev/null &&
        swaymsg seat - cursor release "$3" >/dev/null
}

# The cursor is in the screenshots: it waits below the meters.
park_cursor() { cursor_to $((vx + rest_x)) $((vy + rest_y)); }

close_view() {  # sway's close request, then exit code 0
    swaymsg "[pid=$app_pid] kill" >/dev/null || log "sway found no window of pid $app_pid"
    expect_exit_zero
}

# ---------------------------------------------------------------- checks

# Whether the program has no Wayland layer: told VELLUMTONE_BACKEND=wayland
# it still opens an X11 window, and it says why on stderr (a line that
# names Wayland) or does not use the Wayland client library at all. One
# that has the library and falls back without a word fails the case.
lacks_wayland_layer() {  # case name
    local shell vx vy w h said
    program=(env VELLUMTONE_BACKEND=wayland "${session_exec[@]}" "$app")
    open_view "$1 (VELLUMTONE_BACKEND=wayland)" || return 1
    close_view
    [ "$shell" = xwayland ] || return 1
    said=$(grep -i wayland "$work/app.err" | head -n 1)
    [ -n "$said" ] || ! grep -q libwayland-client "$app" || return 1
    log "$1: skipped: told VELLUMTONE_BACKEND=wayland, the program opens an X11 window:" \
        "${said:-it does not use the Wayland client library}"
}

# One click on the button hands the browser one https address (and, from a
# native window, an activation token).
check_donation_click() {  # case name
    local address opened
    address=$(donation_address)
    click $((vx + button_point_x)) $((vy + button_point_y)) button1
    for _ in $(seq 50); do [ "$(opened_count)" -gt 0 ] && break; sleep 0.1; done
    sleep 1  # long enough that a second call would have come
    park_cursor
    opened=$(cat "$work/opened.txt" 2>/dev/null)
    if [ "$opened" != "[$address]" ] || [[ "$address" != https://* ]]; then
        log "$1: after one click the browser got: ${opened:-nothing}"
        return 1
    fi
    # A native window asks sway (which offers xdg-activation) for a token
    # that lets the browser come to the front.
    [ "$shell" = xdg_shell ] || return 0
    [ -n "$(cat "$work/opened.txt.token" 2>/dev/null)" ] && return 0
    log "$1: the browser got no XDG_ACTIVATION_TOKEN"
    return 1
}

# The screenshot with the window blacked out: what lies beyond it.
beyond_window() {  # screenshot output
    convert "$1" -fill black -draw "rectangle $((vx * scale)),$((vy * scale)) \
        $(((vx + w) * scale - 1)),$(((vy + h) * scale - 1))" "$2"
}

# A right click on the left meter opens a menu: the screen beyond the window
# changes within five seconds. The screenshot stays as NAME-menu.png.
open_menu_by_click() {  # case name
    cursor_to $((vx + meter_point_x)) $((vy + meter_point_y))
    grim -t ppm - >"$work/before-menu.ppm" && beyond_window "$work/before-menu.ppm" "$work/before.png"
    click $((vx + meter_point_x)) $((vy + meter_point_y)) button3
    for _ in $(seq 50); do
        grim -t ppm - >"$work/menu.ppm" && beyond_window "$work/menu.ppm" "$work/after.png" &&
            [ "$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1)" != 0 ] && break
        rm -f "$work/menu.ppm"
        sleep 0.1
    done
    [ -f "$work/menu.ppm" ] || { log "$1: no menu showed"; return 1; }
    convert "$work/menu.ppm" "$work/$1-menu.png"
    [ -z "${VELLUMTONE_E2E_KEEP:-}" ] || cp "$work/$1-menu.png" "$VELLUMTONE_E2E_KEEP/wayland-$1-menu.png"
}

# Killed, the compositor takes the program's display with it: exit code 1
# and one line on stderr.
check_compositor_lost() {  # case name
    local shell vx vy w h status lines
    open_view "$1 (again)" || return 1
    sleep 0.5  # running, not only shown
    kill "$VELLUMTONE_SWAY_PID"
    if ! wait_for_end; then
        log "$1: the program still ran $((exit_wait / 10)) s after sway was killed"
        return 1
    fi
    lines=$(wc -l <"$work/app.err")
    [ "$status" = 1 ] && [ "$lines" = 1 ] && return 0
    log "$1: after sway was killed: exit code $status, $lines lines on stderr, expected 1 and 1"
    return 1
}

# ---------------------------------------------------------------- cases

check_on_sway() {  # case shell VELLUMTONE_BACKEND|- scale
    local name=$1 expected_shell=$2 shell vx vy w h app pictures=$work/expected players ok=0
    scale=$4
    if [ -n "$VELLUMTONE_SESSION_USER" ]; then chown "$VELLUMTONE_SESSION_USER" "$work"; fi
    if ! as_session test -w "$work" -a -x "$work/bin/xdg-open"; then
        log "$name: the session's user cannot reach $work"
        return 1
    fi
    app=$(session_program "$build/vellumtone")
    if [ "$3" = - ]; then
        program=(env -u VELLUMTONE_BACKEND "${session_exec[@]}" "$app")
    else
        program=(env VELLUMTONE_BACKEND="$3" "${session_exec[@]}" "$app")
    fi
    if [ "$scale" != 1 ]; then
        scale_layout $((96 * scale))
        pictures=$work/expected-$((96 * scale))
        for reading in 51 25 76 38; do
            render "${pictures##*/}-$reading" $(readings "$reading") ||
                { log "render_meter failed"; return 1; }
        done
    fi

    play_signal 16384 8192 60
    open_view "$name" || return 1
    if [ "$shell" != "$expected_shell" ]; then
        close_view
        [ "$expected_shell" = xdg_shell ] && lacks_wayland_layer "$name" && return 77
        log "$name: the window's shell is $shell, expected $expected_shell"
        return 1
    fi
    expect_client_area "$name" 1024 220 "(logical)" || ok=1
    park_cursor
    expect_meters $((vx * scale)) $((vy * scale)) "$pictures-51.png" "$pictures-25.png" 15 ||
        { log "$name: meters do not show readings 51 and 25"; ok=1; }
    stop_player
    check_donation_click "$name" || ok=1

    if make_inputs && open_menu_by_click "$name"; then
        # One run of wtype for all keys: each brings a keyboard and keymap
        # of its own, and the program's X11 layer reads keys with the
        # keymap it saw first. The press of a run's first key may come to
        # the client folded into the keyboard's arrival (sway 1.7, as a key
        # already down), so that key is Home twice.
        wtype -k Home -k Home -k Down -k Down -k Return
        park_cursor
        expect_meters $((vx * scale)) $((vy * scale)) "$pictures-76.png" "$pictures-38.png" 15 ||
            { log "$name: after choosing Mic_B the meters do not show its readings 76 and 38"; ok=1; }
    else
        ok=1
    fi
    close_view || { log "$name: close failed"; ok=1; }
    check_compositor_lost "$name" || ok=1
    stop_players
    return $ok
}

# The output's scale goes from 1 to 2 under the running program: the window
# is rebuilt for the new scale, its meters drawn for the exact pixel width.
case_rescale() {
    local shell vx vy w h app view="" last="" ok=0
    app=$(session_program "$build/vellumtone")
    program=(env -u VELLUMTONE_BACKEND "${session_exec[@]}" "$app")
    scale_layout 192
    for reading in 51 25; do
        render "expected-192-$reading" $(readings "$reading") || { log "render_meter failed"; return 1; }
    done
    play_signal 16384 8192 60
    open_view rescale || return 1
    swaymsg output HEADLESS-1 scale 2 >/dev/null
    # sway keeps the floating window's logical place, now off the smaller
    # output.
    swaymsg "[pid=$app_pid] move position center" >/dev/null
    for _ in $(seq "$window_wait"); do
        view=$(view_of "$app_pid")
        [ -n "$view" ] && [ "$view" = "$last" ] && [ "${view#* * * }" = "1024 220" ] && break
        last=$view
        sleep 0.1
    done
    read -r shell vx vy w h <<<"$view"
    park_cursor
    expect_meters $((vx * 2)) $((vy * 2)) "$work/expected-192-51.png" "$work/expected-192-25.png" 15 ||
        { log "rescale: at scale 2 the meters are not drawn for 994 pixels"; ok=1; }
    stop_player
    close_view || ok=1
    return $ok
}

# The window on a workspace nobody looks at gets no frames, and its meters
# draw nothing; brought back while another signal plays, it shows that
# signal's readings at once, pixel for pixel.
case_hidden() {
    local shell vx vy w h app ok=0
    app=$(session_program "$build/vellumtone")
    program=(env -u VELLUMTONE_BACKEND "${session_exec[@]}" "$app")
    play_signal 16384 8192 60
    open_view hidden || return 1
    park_cursor
    expect_meters "$vx" "$vy" "$work/expected-51.png" "$work/expected-25.png" 15 ||
        { log "hidden: meters do not show readings 51 and 25"; ok=1; }
    swaymsg "[pid=$app_pid] move to workspace 2" >/dev/null
    stop_player
    play_signal 24576 12288 60
    sleep 2
    swaymsg "[pid=$app_pid] move to workspace 1" >/dev/null
    swaymsg workspace 1 >/dev/null
    park_cursor
    expect_meters "$vx" "$vy" "$work/expected-76.png" "$work/expected-38.png" 15 ||
        { log "hidden: brought back, the meters do not show readings 76 and 38"; ok=1; }
    stop_player
    close_view || ok=1
    return $ok
}

# The native program with its protocol log on stderr (WAYLAND_DEBUG=1).
debug_program() {
    local app
    app=$(session_program "$build/vellumtone")
    program=(env -u VELLUMTONE_BACKEND WAYLAND_DEBUG=1 "${session_exec[@]}" "$app")
}

# How many pictures the program has attached to its surfaces.
pictures() { grep -c '> wl_surface@[0-9]*\.attach' "$work/app.err"; }
more_pictures() { [ "$(pictures)" -gt "$1" ]; }  # than

# How many times the seat has told the program what devices it has.
seat_changes() { grep -c 'wl_seat@[0-9]*\.capabilities' "$work/app.err"; }
more_seat_changes() { [ "$(seat_changes)" -gt "$1" ]; }  # than

# The seat's pointer device goes (the tool that holds it ends) and comes
# back (started again): a right click still opens the menu.
case_replug() {
    local shell vx vy w h ok=0 before pointer_pid scale=1
    debug_program
    open_view replug || return 1
    before=$(seat_changes)
    end_pids TERM "$VELLUMTONE_POINTER_PID"
    wait_for 5 more_seat_changes "$before" || log "replug: the seat did not say its pointer went"
    before=$(seat_changes)
    "$native/wayland_pointer" >"$work/pointer.out" 2>&1 &
    pointer_pid=$!
    if ! wait_for 5 grep -qx ready "$work/pointer.out"; then
        log "replug: no pointer device again: $(cat "$work/pointer.out")"
        ok=1
    fi
    wait_for 5 more_seat_changes "$before" || log "replug: the seat did not say its pointer came"
    open_menu_by_click replug || { log "replug: with the pointer back, no menu"; ok=1; }
    close_view || ok=1
    end_pids TERM "$pointer_pid"
    check_protocol_log replug "$work/app.err" || ok=1
    return $ok
}

# Down held for a second in the menu (opened by the keys, the first item
# lit) repeats at the keyboard's rate (the session's: after 300 ms, ten a
# second): Return then chooses an item further down than Mic_A, where one
# Down stops, and no farther than a dozen rows, so none that a wrap brings
# back. The choice shows in the settings file once the program has ended.
case_repeat() {
    local shell vx vy w h ok=0 players settings
    debug_program
    make_inputs || return 1
    open_view repeat || { stop_players; return 1; }
    park_cursor
    # One run of wtype, one keyboard: the key is held while it lives. The
    # program asks for the keyboard once the seat says it has one; the
    # first keys wait for that.
    wtype -s 300 -M shift -k F10 -m shift -s 300 -P Down -s 1000 -p Down -s 200 -k Return
    close_view || ok=1
    stop_players
    settings=$(cat "$XDG_CONFIG_HOME/vellumtone/vellumtone.ini" 2>/dev/null)
    if [ -z "$settings" ]; then
        log "repeat: nothing was chosen (no settings file)"
        ok=1
    elif grep -qx 'Input=mic_a' <<<"$settings"; then
        log "repeat: Down held for a second moved the highlight one row (Mic_A chosen)"
        ok=1
    fi
    check_protocol_log repeat "$work/app.err" || ok=1
    return $ok
}

# The output's scale goes from 2 to 3 while the meters draw, a frame
# pending: the protocol log has no buffer scale committed over a buffer of
# the old scale's size. The needles move while they rise to a new signal's
# readings, drawn each frame, and rest once there.
case_scale3() {
    local shell vx vy w h ok=0 before
    debug_program
    open_view scale3 || return 1
    before=$(pictures)
    play_signal 16384 8192 60
    wait_for 5 more_pictures $((before + 2)) || log "scale3: the meters did not move"
    swaymsg output HEADLESS-1 scale 3 >/dev/null
    if ! wait_for 10 grep -q 'set_buffer_scale(3)' "$work/app.err"; then
        log "scale3: the program did not take the scale of 3"
        ok=1
    fi
    sleep 1  # the frames that follow the change
    stop_player
    close_view || ok=1
    check_protocol_log scale3 "$work/app.err" || ok=1
    return $ok
}

# On an output of 960 x 540 logical pixels (1920 x 1080 at scale 2), too
# narrow for the window's 1024, the window, border included, lies within
# the output.
case_fit() {
    local shell vx vy w h ok=0 app output rect ox oy ow oh rx ry rw rh
    app=$(session_program "$build/vellumtone")
    program=(env -u VELLUMTONE_BACKEND "${session_exec[@]}" "$app")
    open_view fit || return 1
    output=$(swaymsg -t get_outputs -r | perl -MJSON::PP -e '
        local $/;
        for (@{decode_json(<STDIN>)}) {
            next unless $_->{name} eq "HEADLESS-1";
            printf "%d %d %d %d\n", @{$_->{rect}}{qw(x y width height)};
        }')
    rect=$(swaymsg -t get_tree -r | perl -MJSON::PP -e '
        local $/;
        my @nodes = (decode_json(<STDIN>));
        while (my $node = shift @nodes) {
            push @nodes, @{$node->{nodes} || []}, @{$node->{floating_nodes} || []};
            next unless ($node->{pid} // 0) == $ARGV[0];
            printf "%d %d %d %d\n", @{$node->{rect}}{qw(x y width height)};
            last;
        }' "$app_pid")
    read -r ox oy ow oh <<<"$output"
    read -r rx ry rw rh <<<"$rect"
    if [ -z "$rect" ] || [ "$rx" -lt "$ox" ] || [ "$ry" -lt "$oy" ] ||
        [ $((rx + rw)) -gt $((ox + ow)) ] || [ $((ry + rh)) -gt $((oy + oh)) ]; then
        log "fit: the window (x y width height: ${rect:-none}) is not within the output ($output)"
        ok=1
    fi
    close_view || ok=1
    return $ok
}

# The menu opened by a right click at the left meter's point, cut from the
# screenshot along its edge: its corner is where the click was, and its
# outer ring's light top and left run to one pixel short of its width and
# height. The cursor, drawn over the corner, stays until the menu shows
# (the menu opens where the pointer is when the program gets to it), then
# moves off it (nothing lit) for the picture. Buffer pixels: the layout's
# scale times the output's.
light_run() {  # screenshot WxH+X+Y: the light pixels from the start of the strip
    convert "$1" -crop "$2" +repage -depth 8 txt:- |
        awk 'NR > 1 { if ($3 != "#E3E3E3") exit; n++ } END { print n + 0 }'
}

menu_picture() {  # name layout_factor output_scale output
    local x y row=0 column width height attempt
    x=$(((vx + meter_point_x * $2) * $3))
    y=$(((vy + meter_point_y * $2) * $3))
    # A program still starting (a sanitizer's build) may miss a click:
    # until the menu shows, the click is made again every two seconds.
    for attempt in $(seq 100); do
        if [ $((attempt % 20)) = 1 ]; then
            click $(((vx + meter_point_x * $2))) $(((vy + meter_point_y * $2))) button3
        fi
        sleep 0.1
        grim -t ppm - >"$work/look.ppm" 2>/dev/null || continue
        # The top ring, past where the cursor may be drawn.
        [ "$(light_run "$work/look.ppm" "200x1+$((x + 64 * $3))+$y")" -gt 20 ] && break
    done
    cursor_to 5 5
    sleep 0.5
    grim -t ppm - >"$work/look.ppm" 2>/dev/null
    row=$(light_run "$work/look.ppm" "1000x1+$x+$y")
    column=$(light_run "$work/look.ppm" "1x1000+$x+$y")
    width=$((row + 1))
    height=$((column + 1))
    if [ "$row" -le 50 ] || [ "$column" -le 50 ]; then
        log "$1: no menu's edge at ($x, $y) of the screenshot"
        convert "$work/look.ppm" "$work/$1-screen.png"
        [ -z "${VELLUMTONE_E2E_KEEP:-}" ] || cp "$work/$1-screen.png" "$VELLUMTONE_E2E_KEEP/"
        return 1
    fi
    convert "$work/look.ppm" -crop "${width}x${height}+$x+$y" +repage "$4"
    [ -z "${VELLUMTONE_E2E_KEEP:-}" ] || cp "$4" "$VELLUMTONE_E2E_KEEP/wayland-$1.png"
}

case_menulook() {
    local shell vx vy w h app ok=0 difference scale players layer s menu_height item top
    app=$(session_program "$build/vellumtone")
    make_inputs || return 1
    for dpi in 96 192; do
        echo "Xft.dpi: $dpi" | as_session xrdb -nocpp -merge ||
            { log "menulook: xrdb failed"; return 1; }
        program=(env VELLUMTONE_BACKEND=x11 "${session_exec[@]}" "$app")
        open_view "menulook x11 $dpi" || return 1
        menu_picture "menulook-x11-$dpi" $((dpi / 96)) 1 "$work/menu-x11-$dpi.png" || ok=1
        close_view || ok=1
    done
    for scale in 1 2; do
        swaymsg output HEADLESS-1 scale "$scale" >/dev/null
        program=(env -u VELLUMTONE_BACKEND "${session_exec[@]}" "$app")
        open_view "menulook wayland $scale" || return 1
        menu_picture "menulook-wayland-$scale" 1 "$scale" "$work/menu-wayland-$((96 * scale)).png" ||
            ok=1
        close_view || ok=1
    done
    # The menus' one difference by design: Wayland has no way to keep a
    # window above others, so "Always on top" is greyed there. Its row (the
    # eighth item, after two separators, within the edge; 16 items of equal
    # height and 3 separators of 8 pixels at 96 DPI) is left out of both.
    for dpi in 96 192; do
        [ -f "$work/menu-x11-$dpi.png" ] && [ -f "$work/menu-wayland-$dpi.png" ] || continue
        s=$((dpi / 96))
        menu_height=$(identify -format '%h' "$work/menu-x11-$dpi.png")
        item=$(((menu_height - 4 * s - 24 * s) / 16))
        top=$((2 * s + 7 * item + 16 * s))
        for layer in x11 wayland; do
            mogrify -fill black -draw "rectangle 0,$top 9999,$((top + item - 1))" \
                "$work/menu-$layer-$dpi.png"
        done
        difference=$(compare -metric AE "$work/menu-x11-$dpi.png" "$work/menu-wayland-$dpi.png" \
            null: 2>&1)
        if [ "$difference" != 0 ]; then
            log "menulook: at $dpi DPI the X11 and Wayland menus differ ($difference pixels;" \
                "sizes $(identify -format '%wx%h' "$work/menu-x11-$dpi.png")," \
                "$(identify -format '%wx%h' "$work/menu-wayland-$dpi.png"))"
            ok=1
        fi
    done
    stop_players
    return $ok
}

case_xwayland() { check_on_sway xwayland xwayland x11 1; }
case_native1() { check_on_sway native1 xdg_shell - 1; }
case_native2() { check_on_sway native2 xdg_shell - 2; }

# ---------------------------------------------------------------- driver

# The protocol log apart from the program's own lines, which run_case shows
# when the case failed.
[ -z "${VELLUMTONE_E2E_CASE:-}" ] ||
    trap 'keep_protocol_apart "$work/app.err" "$work/$VELLUMTONE_E2E_CASE-protocol.log"' EXIT
run_named_case
prepare_run "$build/vellumtone" "$native/wayland_pointer" sway swaymsg grim wtype Xwayland setpriv xrdb
session=(--xwayland --pointer "$native/wayland_pointer")
run_case xwayland "${session[@]}"
run_case native1 "${session[@]}"
run_case native2 "${session[@]}" --scale 2 --size 2400x1200
run_case rescale "${session[@]}" --size 2400x1200
run_case hidden "${session[@]}"
run_case menulook "${session[@]}" --size 2400x1600
# These need no XWayland.
run_case replug --pointer "$native/wayland_pointer"
run_case repeat --pointer "$native/wayland_pointer"
run_case scale3 --pointer "$native/wayland_pointer" --scale 2 --size 2400x1200
run_case fit --pointer "$native/wayland_pointer" --scale 2 --size 1920x1080
report_and_exit
