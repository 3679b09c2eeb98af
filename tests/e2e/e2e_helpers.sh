# Helpers shared by the end-to-end scripts in this folder, which source this
# file: finding and measuring the window, screenshots compared pixel by pixel
# with the engine's own pictures, the test signal, the donation button with a
# stand-in browser, closing, and the driver that runs each case again inside
# tests/with_services.sh. The name does not end in _e2e.sh, so CTest does not
# take it for a test of its own.
#
# The sourcing script sets, before it calls them:
#   e2e_name      its name: log lines, work folder, kept screenshots
#   e2e_args      (array) its own arguments, for its runs inside the services
#   native        the native build directory (render_meter, x11_close)
#   program       (array) the command that starts the program
#   window_wait   tenths of a second the window may take to appear
#   exit_wait     tenths of a second the program may take to end when asked
#   case_timeout  seconds one case may take, services included
# (for the Windows program use_windows_build sets all but e2e_name and
# case_timeout),
# and defines a function case_NAME for each case that run_case names.
# shellcheck shell=bash disable=SC2154

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
services="$root/tests/with_services.sh"
title=$("$root/tools/window_title.sh")

# A meter's picture inside its 2-pixel edge, in client coordinates, at
# 96 DPI (scale_layout sets them for another).
picture_size=493x137
left_picture_x=12
right_picture_x=519
picture_y=12
control_size=""  # a meter control's size when scaled; empty at 96 DPI
# The donation button, in client coordinates.
button_size=350x30
button_x=330
button_y=170
# A point of the client area away from every control.
rest_x=5
rest_y=215
# The line of status text beside the button, in client coordinates.
status_size=324x30
status_x=690
status_y=170

log() { echo "$e2e_name: $*" >&2; }

# For the scripts that test the Linux program: takes their argument, the
# build directory, and sets build, native, e2e_args and program, with the
# waits for its window and its end.
use_linux_build() {  # build_dir
    if [ -z "${1:-}" ] || [ ! -d "$1" ]; then
        echo "usage: $e2e_name.sh BUILD_DIR" >&2
        exit 2
    fi
    build=$(cd "$1" && pwd)
    native=$build
    e2e_args=("$build")
    program=("$build/vellumtone")
    window_wait=150
    exit_wait=100
}

# For the scripts that test the Windows program: takes their two arguments,
# the native build (render_meter, x11_close) and the cross build with
# vellumtone.exe, and sets native, e2e_args, program and Wine's slower
# window_wait and exit_wait; exits 77 (skipped) without a Windows build.
use_windows_build() {  # native_build_dir win_build_dir
    local win
    if [ -z "${2:-}" ] || [ ! -f "$2/vellumtone.exe" ]; then
        log "skipped: no Windows build given (second argument: a cross build directory)"
        exit 77
    fi
    native=$(cd "${1:-}" && pwd)
    win=$(cd "$2" && pwd)
    e2e_args=("$native" "$win")
    program=(wine "$win/vellumtone.exe")
    window_wait=300
    exit_wait=150
}

# ---------------------------------------------------------------- the window
# These run inside with_services.sh, with DISPLAY and PULSE_SERVER set.

start_program() {  # starts the program in the background; sets app_pid
    PATH="$work/bin:$PATH" VELLUMTONE_E2E_OPENED="$work/opened.txt" "${program[@]}" \
        >"$work/app.out" 2>"$work/app.err" &
    app_pid=$!
}

wait_for_window() {  # prints the window id
    local id=""
    for _ in $(seq "$window_wait"); do
        id=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}

# No window manager runs, so there is no frame: the X window is the client
# area (Wine maps a window's client area to its X window, too).
window_geometry() {  # id -> "x y width height" of the client area on the screen
    xwininfo -id "$1" | awk '
        /Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

# Starts the program and finds its window. Sets, in the caller's locals,
# app_pid, id and the client area's place and size: ox oy w h.
open_window() {  # case name, for the log
    start_program
    id=$(wait_for_window)
    if [ -z "$id" ]; then
        log "$1: no window"
        kill "$app_pid"
        return 1
    fi
    read -r ox oy w h <<<"$(window_geometry "$id")"
}

expect_client_area() {  # case width height [what else holds, for the log]
    [ "$w" = "$2" ] && [ "$h" = "$3" ] && return 0
    log "$1: client area ${w}x${h}${4:+ $4}, expected ${2}x$3"
    return 1
}

# Waits up to the exit wait for the program to end by itself: true once it has.
program_ended() {
    for _ in $(seq "$exit_wait"); do
        kill -0 "$app_pid" 2>/dev/null || return 0
        sleep 0.1
    done
    ! kill -0 "$app_pid" 2>/dev/null
}

# Waits for the program to end by itself and expects exit code 0.
expect_exit_zero() {
    if ! program_ended; then
        log "the program did not end after the close request"
        # Where each thread stands, for whoever reads the log.
        command -v gdb >/dev/null 2>&1 &&
            timeout 30 gdb -p "$app_pid" -batch -ex "thread apply all bt" 2>&1 |
            grep -E '^(Thread|#)' | sed 's/^/  stack: /' >&2
        kill "$app_pid"
        wait "$app_pid" 2>/dev/null
        return 1
    fi
    wait "$app_pid"
    local status=$?
    [ "$status" = 0 ] || log "exit code $status after the close request"
    [ "$status" = 0 ]
}

# Waits for the program to end by itself; sets status (empty if it did not:
# then it is killed).
wait_for_end() {
    status=""
    if ! program_ended; then
        kill "$app_pid"
        wait "$app_pid" 2>/dev/null
        return 1
    fi
    wait "$app_pid"
    status=$?
}

# A window manager's close request (WM_DELETE_WINDOW), then exit code 0.
close_with_delete_window() {
    if ! "$native/x11_close" --wait 5 "$title"; then
        log "no window to close"
        kill "$app_pid" 2>/dev/null
        return 1
    fi
    expect_exit_zero
}

# ---------------------------------------------------------------- pictures

grab() {  # origin_x origin_y WxH client_x client_y output: crops a fresh screenshot
    local ox=$1 oy=$2 size=$3 cx=$4 cy=$5 out=$6
    import -window root "$work/screen.png" 2>/dev/null || return 1
    convert "$work/screen.png" -crop "${size}+$((ox + cx))+$((oy + cy))" +repage "$out"
}

# Pictures of different sizes, or one that cannot be read, count as
# differing in every pixel ("all"): compare itself finds 0 differences when
# the smaller picture matches a part of the larger one.
differing_pixels() {  # a b -> number of pixels that differ
    local size_a size_b
    size_a=$(identify -format '%wx%h' "$1" 2>/dev/null)
    size_b=$(identify -format '%wx%h' "$2" 2>/dev/null)
    if [ -z "$size_a" ] || [ "$size_a" != "$size_b" ]; then
        echo all
        return
    fi
    compare -metric AE "$1" "$2" null: 2>&1 | awk '$1 ~ /^[0-9.e+]+$/ {print int($1); next} {print "all"}'
}

# Waits until both canvases show exactly the expected pictures, looking
# again every half second (or as often as given) until the seconds are up.
# The last screenshot stays as last-screen.png, to look at.
expect_meters() {  # ox oy expected_left expected_right seconds [pause]
    local ox=$1 oy=$2 left=$3 right=$4 pause=${6:-0.5} dl="" dr="" deadline
    deadline=$(($(date +%s%N) + $5 * 1000000000))
    while [ "$(date +%s%N)" -le "$deadline" ]; do
        grab "$ox" "$oy" "$picture_size" "$left_picture_x" "$picture_y" "$work/left.png" &&
            grab "$ox" "$oy" "$picture_size" "$right_picture_x" "$picture_y" "$work/right.png" ||
            return 1
        dl=$(differing_pixels "$work/left.png" "$left")
        dr=$(differing_pixels "$work/right.png" "$right")
        if [ "$dl" = 0 ] && [ "$dr" = 0 ]; then
            cp "$work/screen.png" "$work/last-screen.png"
            return 0
        fi
        sleep "$pause"
    done
    log "canvases differ from the engine's pictures: left $dl pixels, right $dr pixels"
    cp "$work/screen.png" "$work/last-screen.png"
    return 1
}

# ---------------------------------------------------------------- the status line

# How many colours the status line's place shows: 1 when it is the plain
# background, more once text is drawn there.
status_colours() {  # ox oy
    grab "$1" "$2" "$status_size" "$status_x" "$status_y" "$work/status.png" &&
        convert "$work/status.png" -format %k info:
}

# Waits up to five seconds for the status line to show text (shown) or the
# plain background of the window's colour (empty).
expect_status_line() {  # case ox oy shown|empty
    local colours="" pixel=""
    for _ in $(seq 25); do
        colours=$(status_colours "$2" "$3")
        pixel=$(convert "$work/status.png" -format '%[pixel:p{0,0}]' info: 2>/dev/null)
        if [ "$4" = shown ]; then
            [ "${colours:-0}" -gt 2 ] && return 0
        elif [ "$colours" = 1 ] && [ "$pixel" = "srgb(205,201,240)" ]; then
            return 0
        fi
        sleep 0.2
    done
    log "$1: status line expected $4, found $colours colours ($pixel)"
    return 1
}

# ---------------------------------------------------------------- the signal

# Plays a stereo square wave (or, with --sine, a sine wave; with --dc, a
# constant level) into the "meter" sink or the one named; sets player_pid.
# Each signal has a file of its own, so that signals may play at the same
# time.
play_signal() {  # [--sine|--dc] left_amplitude right_amplitude seconds [sink]
    local shape=() file
    case "$1" in --sine | --dc) shape=("$1"); shift ;; esac
    file=$(mktemp "$work/signal-${4:-meter}.XXXXXX")
    perl "$root/tools/make_signal.pl" "${shape[@]}" "$1" "$2" "$3" >"$file"
    pacat --raw --device="${4:-meter}" --rate=44100 --channels=2 --format=s16le "$file" \
        2>>"$work/player.err" &
    player_pid=$!
}

stop_player() {
    kill "$player_pid" 2>/dev/null
    wait "$player_pid" 2>/dev/null
}

# ---------------------------------------------------------------- the button

donation_address() {
    perl -0ne 'print $1 if /DONATION_ADDRESS\s*=\s*"([^"]+)"/' "$root/app/app_identity.h"
}

opened_count() { [ -f "$work/opened.txt" ] && wc -l <"$work/opened.txt" || echo 0; }

grab_button() {  # ox oy output
    grab "$1" "$2" "$button_size" "$button_x" "$button_y" "$3"
}

# One click on the button: waits until the browser was called once more, and
# long enough that a second call would have come, then moves the pointer away.
click_button() {  # ox oy
    local before
    before=$(opened_count)
    xdotool mousemove "$(($1 + button_x + 175))" "$(($2 + button_y + 15))" click 1
    for _ in $(seq 100); do [ "$(opened_count)" -gt "$before" ] && break; sleep 0.1; done
    sleep 1
    xdotool mousemove "$(($1 + rest_x))" "$(($2 + rest_y))"
    sleep 0.3
}

# Each click hands the donation address to the browser once, as one argument;
# the first click leaves the button drawn pressed, the second releases it. The
# released look is compared with the look before the clicks within the given
# crop of the button, or all of it.
check_button() {  # ox oy [crop WxH+X+Y]
    local ox=$1 oy=$2 crop=${3:-} address ok=0
    address=$(donation_address)
    xdotool mousemove "$((ox + rest_x))" "$((oy + rest_y))"
    sleep 0.3
    grab_button "$ox" "$oy" "$work/button-up.png"
    click_button "$ox" "$oy"
    grab_button "$ox" "$oy" "$work/button-checked.png"
    if [ "$(cat "$work/opened.txt" 2>/dev/null)" != "[$address]" ]; then
        log "button: after one click the browser got: $(cat "$work/opened.txt" 2>/dev/null)"
        ok=1
    fi
    if [ "$(differing_pixels "$work/button-up.png" "$work/button-checked.png")" = 0 ]; then
        log "button: the first click did not leave it drawn pressed"
        ok=1
    fi
    click_button "$ox" "$oy"
    grab_button "$ox" "$oy" "$work/button-released.png"
    if [ "$(printf '[%s]\n[%s]' "$address" "$address")" != "$(cat "$work/opened.txt")" ]; then
        log "button: after two clicks the browser got: $(cat "$work/opened.txt")"
        ok=1
    fi
    if [ -n "$crop" ]; then
        convert "$work/button-up.png" -crop "$crop" +repage "$work/button-up.png"
        convert "$work/button-released.png" -crop "$crop" +repage "$work/button-released.png"
    fi
    if [ "$(differing_pixels "$work/button-up.png" "$work/button-released.png")" != 0 ]; then
        log "button: the second click did not release it"
        ok=1
    fi
    return $ok
}

# ---------------------------------------------------------------- driver

# Inside with_services.sh the script runs again for one case, which the
# environment names: runs it and exits with its result. Outside, returns.
run_named_case() {
    [ -n "${VELLUMTONE_E2E_CASE:-}" ] || return 0
    work=$VELLUMTONE_E2E_WORK
    rm -f "$work/opened.txt"
    "case_$VELLUMTONE_E2E_CASE"
    exit $?
}

# Exits with 77 when a program (a path) or a tool (a name) is missing; else
# makes the work folder with the stand-in browser and the engine's pictures.
prepare_run() {  # programs and tools the script needs besides the common ones
    local missing="" need
    for need in "$native/render_meter" "$native/x11_close" Xvfb pulseaudio pactl pacat \
        import convert compare identify xdotool xwininfo perl "$@"; do
        case "$need" in
            */*) [ -x "$need" ] || missing="$missing $need" ;;
            *) command -v "$need" >/dev/null 2>&1 || missing="$missing $need" ;;
        esac
    done
    if [ -n "$missing" ]; then
        log "skipped, missing:$missing"
        exit 77
    fi

    work=$(mktemp -d "${TMPDIR:-/tmp}/vellumtone-$e2e_name.XXXXXX")
    trap '[ -n "${VELLUMTONE_E2E_KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
    mkdir -p "$work/bin"
    # The stand-in browser: one line per call, each argument in brackets,
    # and beside it the activation token it was given (Wayland's). Wine's
    # winebrowser calls xdg-open too.
    cat >"$work/bin/xdg-open" <<'EOF'
#!/bin/sh
for argument in "$@"; do printf '[%s]' "$argument"; done >>"$VELLUMTONE_E2E_OPENED"
echo >>"$VELLUMTONE_E2E_OPENED"
echo "${XDG_ACTIVATION_TOKEN:-}" >>"$VELLUMTONE_E2E_OPENED.token"
EOF
    chmod +x "$work/bin/xdg-open"

    render expected-51 $(readings 51) && render expected-25 $(readings 25) &&
        render expected-76 $(readings 76) && render expected-38 $(readings 38) &&
        render expected-101 $(readings 101) && render expected-rest ||
        { log "render_meter failed"; exit 1; }
    passed=0
    failed=0
    skipped=0
}

have_pipewire() {  # PipeWire, its session manager and PulseAudio service, a session bus
    local tool
    for tool in pipewire wireplumber pipewire-pulse dbus-daemon; do
        command -v "$tool" >/dev/null 2>&1 || return 1
    done
}

render() {  # name readings...: the engine's picture of a meter (of control_size if set)
    local name=$1
    shift
    "$native/render_meter" ${control_size:+--control "$control_size"} "$work/$name.ppm" "$@" &&
        convert "$work/$name.ppm" "$work/$name.png"
}

# ---------------------------------------------------------------- scaling

scaled() { echo $(($1 * $2 / 96)); }  # value dpi: floor(value x dpi / 96)

# The layout at a display DPI, as the window layer scales each 96-DPI value:
# sets the client area's size (client_w, client_h), a meter control's size
# (control_size, for render) and the pictures' places (for expect_meters).
scale_layout() {  # dpi (a whole number)
    client_w=$(scaled 1024 "$1")
    client_h=$(scaled 220 "$1")
    control_size="$(scaled 497 "$1")x$(scaled 141 "$1")"
    picture_size="$(($(scaled 497 "$1") - 4))x$(($(scaled 141 "$1") - 4))"
    left_picture_x=$(($(scaled 10 "$1") + 2))
    right_picture_x=$(($(scaled 517 "$1") + 2))
    picture_y=$(($(scaled 10 "$1") + 2))
}

# At each DPI in turn: sets it (with the given command), starts the program,
# expects the scaled client area and both canvases to show, pixel for pixel,
# what the engine draws for that control size with 20 readings of 51 and 25
# (the signal must be playing), then closes the program with a window
# manager's close request. The canvases of the last DPI stay as
# last-screen.png.
expect_scaled_meters() {  # set_dpi_command dpi...
    local set_dpi=$1 dpi ok=0 id ox oy w h
    shift
    for dpi in "$@"; do
        scale_layout "$dpi"
        render "expected-$dpi-51" $(readings 51) && render "expected-$dpi-25" $(readings 25) ||
            { log "render_meter failed at $dpi DPI"; ok=1; continue; }
        "$set_dpi" "$dpi"
        open_window "$dpi DPI" || { ok=1; continue; }
        expect_client_area "$dpi DPI" "$client_w" "$client_h" || ok=1
        expect_meters "$ox" "$oy" "$work/expected-$dpi-51.png" "$work/expected-$dpi-25.png" 20 ||
            { log "$dpi DPI: meters do not show readings 51 and 25 at their scaled size"; ok=1; }
        close_with_delete_window || { log "$dpi DPI: close failed"; ok=1; }
    done
    return $ok
}

# For each "written:used" pair: sets the DPI as written (with the given
# command), starts the program, expects the client area scaled for the DPI
# it should use, and that a close request ends it with exit code 0.
expect_bounded_dpi() {  # set_dpi_command written:used...
    local set_dpi=$1 pair written used ok=0 id ox oy w h
    shift
    for pair in "$@"; do
        written=${pair%:*}
        used=${pair##*:}
        scale_layout "$used"
        "$set_dpi" "$written"
        open_window "DPI $written" || { ok=1; continue; }
        expect_client_area "DPI $written" "$client_w" "$client_h" "(DPI $used expected)" || ok=1
        close_with_delete_window || { log "DPI $written: close failed"; ok=1; }
    done
    return $ok
}

readings() { for _ in $(seq 20); do echo "$1"; done; }

# Runs one case in its own services. VELLUMTONE_E2E_KEEP=DIR keeps the
# screenshots of the meters to look at; VELLUMTONE_E2E_ONLY="NAME..." runs
# only the cases named. A case that exits with 77 is skipped (it says why).
run_case() {  # name services-options...
    local name=$1 status=0
    shift
    [ -z "${VELLUMTONE_E2E_ONLY:-}" ] || [[ " $VELLUMTONE_E2E_ONLY " == *" $name "* ]] || return 0
    VELLUMTONE_E2E_CASE=$name VELLUMTONE_E2E_WORK=$work \
        timeout "$case_timeout" bash "$services" "$@" bash "$0" "${e2e_args[@]}" || status=$?
    if [ "$status" = 0 ]; then
        log "$name: passed"
        passed=$((passed + 1))
    elif [ "$status" = 77 ]; then
        log "$name: skipped"
        skipped=$((skipped + 1))
    else
        log "$name: FAILED"
        failed=$((failed + 1))
        # Wine reports each failed focus query of its own; they say nothing.
        [ -f "$work/app.err" ] && grep -v 'XGetInputFocus' "$work/app.err" | sed 's/^/  program: /' >&2
    fi
    if [ -f "$work/last-screen.png" ]; then
        mv "$work/last-screen.png" "$work/$name-screen.png"
        if [ -n "${VELLUMTONE_E2E_KEEP:-}" ]; then
            cp "$work/$name-screen.png" "$VELLUMTONE_E2E_KEEP/${e2e_name%_e2e}-$name-screen.png"
        fi
    fi
}

# Exits 77 (skipped) when every case that ran was skipped.
report_and_exit() {
    local also=""
    [ "$skipped" = 0 ] || also=", $skipped skipped"
    echo "$passed passed, $failed failed$also"
    [ "$failed" = 0 ] || exit 1
    [ "$passed" = 0 ] && [ "$skipped" -gt 0 ] && exit 77
    exit 0
}

# ---------------------------------------------------------------- menus
# For the tests of the window menu, inside with_services.sh.

# Sinks a and b, each with an input that is its monitor remapped, and each
# playing its tone; sets players.
make_inputs() {
    local name
    players=()
    for name in a b; do
        timeout 5 pactl load-module module-null-sink sink_name="$name" rate=44100 channels=2 \
            >/dev/null &&
            timeout 5 pactl load-module module-remap-source master="$name.monitor" \
                source_name="mic_$name" source_properties="device.description=Mic_${name^^}" \
                >/dev/null || { log "could not make input mic_$name"; return 1; }
    done
    play_signal --sine 16545 8111 100 a
    players+=("$player_pid")
    play_signal --sine 24576 12288 100 b
    players+=("$player_pid")
}

stop_players() {
    local pid
    for pid in "${players[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
}

# The open menu: an override-redirect window on the root, viewable, painted
# (it is painted once it holds the keyboard and the pointer, so keys and
# clicks reach it). Waits up to five seconds; sets mx my mw mh, its place and
# size on the screen.
wait_for_menu() {
    local child info
    for _ in $(seq 50); do
        for child in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
            [ "$((child))" = "$((id))" ] && continue
            info=$(xwininfo -all -id "$child" 2>/dev/null) || continue
            grep -q 'Map State: IsViewable' <<<"$info" &&
                grep -q 'Override Redirect State: yes' <<<"$info" || continue
            read -r mx my mw mh <<<"$(window_geometry "$child")"
            import -window root "$work/screen.png" 2>/dev/null &&
                [ "$(convert "$work/screen.png" -crop "${mw}x${mh}+$mx+$my" +repage \
                    -format %k info:)" -gt 2 ] && return 0
        done
        sleep 0.1
    done
    log "no menu showed"
    return 1
}

# Keys for the open menu, a moment apart.
keys() { local key; for key in "$@"; do xdotool key "$key"; sleep 0.1; done; }

# As expect_meters, logging how long the pictures took to show.
expect_timed() {  # what left right seconds
    local start
    start=$(date +%s%N)
    if expect_meters "$ox" "$oy" "$2" "$3" "$4"; then
        log "$1: shown after $((($(date +%s%N) - start) / 1000000)) ms"
        return 0
    fi
    log "$1: not shown"
    return 1
}

# ---------------------------------------------------------------- reading aids
# For the tests of the reading aids (scale marks, peak hold, held overload
# light, decibel scale, level readout), inside with_services.sh.

# The engine's picture of a meter with every aid on: 20 readings of the
# given value, each with the given peak sample, which places the needle on
# the decibel scale and which the readout shows, the hold at that reading
# and peak, and the overload light held (the readout then says "OVER") or
# not.
render_aids() {  # name reading peak_sample held(0/1)
    local held=()
    [ "$4" = 1 ] && held=(--overload-held)
    # shellcheck disable=SC2046
    "$native/render_meter" ${control_size:+--control "$control_size"} --scale-marks --peak-hold \
        --decibel-scale --readout --peak "$3" --hold "$2:$3" --hold-overload "${held[@]}" \
        "$work/$1.ppm" $(readings "$2") && convert "$work/$1.ppm" "$work/$1.png"
}

# With every aid on in the settings file in the given folder, at the given
# DPI: a square wave of 16384 (-6.0 dBFS) on the left and 3277 (-20.0 dBFS)
# on the right shows as readings 51 and 10 placed on the decibel scale, with
# the scale marks, the holds and the readouts; a full-scale burst on the
# left, played over it, lights the left light, which stays lit (its readout
# saying "OVER") once the holds have fallen back; a left click on the left
# meter puts it out. Then the program ends
# with exit code 0. The burst is a constant full-scale level: the sink sums
# it with the square wave, so every positive half period clips at full scale
# whatever the phase between the two (two square waves half a period apart
# would sum to 16383).
check_reading_aids() {  # case settings_folder dpi
    local id ox oy w h steady ok=0
    mkdir -p "$2"
    printf '[Vellumtone]\nScaleMarks=1\nPeakHold=1\nHoldOverload=1\nDecibelScale=1\n%s\n' \
        LevelReadout=1 >"$2/vellumtone.ini"
    [ "$3" = 96 ] || scale_layout "$3"
    render_aids aids-51-held 51 16384 1 && render_aids aids-51 51 16384 0 &&
        render_aids aids-10 10 3277 0 || { log "$1: render_meter failed"; return 1; }
    open_window "$1" || return 1
    play_signal 16384 3277 60
    steady=$player_pid
    expect_meters "$ox" "$oy" "$work/aids-51.png" "$work/aids-10.png" 20 ||
        { log "$1: the marks and the holds do not show"; ok=1; }
    play_signal --dc 32767 0 1
    wait "$player_pid"
    player_pid=$steady
    expect_meters "$ox" "$oy" "$work/aids-51-held.png" "$work/aids-10.png" 20 ||
        { log "$1: after a burst, the fallen holds and the held light do not show"; ok=1; }
    xdotool mousemove "$((ox + left_picture_x + 100))" "$((oy + picture_y + 60))" click 1
    sleep 0.2
    xdotool mousemove "$((ox + rest_x))" "$((oy + rest_y))"
    expect_meters "$ox" "$oy" "$work/aids-51.png" "$work/aids-10.png" 10 ||
        { log "$1: a click on the left meter did not put its light out"; ok=1; }
    stop_player
    close_with_delete_window || { log "$1: close failed"; ok=1; }
    return $ok
}
