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
#   overload  a full-scale signal lights the overload disc on both meters
#   nopulse   without a sound server the window opens and the meters rest
#   dpi       with Xft.dpi 144 the client area is 1536 x 330
#
#   linux_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

build=$(cd "${1:?usage: linux_e2e.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
services="$root/tests/with_services.sh"
title="Vellumtone by Quorrin V$(head -n1 "$root/VERSION")"

# Picture of a meter's canvas inside its 2-pixel edge, in client coordinates.
picture_size=493x137
left_picture_x=12
right_picture_x=519
picture_y=12

log() { echo "linux_e2e: $*" >&2; }

# ---------------------------------------------------------------- helpers
# These run inside with_services.sh, with DISPLAY and PULSE_SERVER set.

wait_for_window() {  # prints the window id
    local id=""
    for _ in $(seq 150); do
        id=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}

window_geometry() {  # id -> "x y width height" of the client area on the screen
    xwininfo -id "$1" | awk '
        /Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

start_program() {  # starts vellumtone in the background; sets app_pid
    PATH="$work/bin:$PATH" VELLUMTONE_E2E_OPENED="$work/opened.txt" "$build/vellumtone" \
        >"$work/app.out" 2>"$work/app.err" &
    app_pid=$!
}

# Sends a close request and expects the program to end with code 0.
close_and_expect_exit_zero() {
    if ! "$build/x11_close" --wait 5 "$title"; then
        log "no window to close"
        kill "$app_pid" 2>/dev/null
        return 1
    fi
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$app_pid" 2>/dev/null; then
        log "the program did not end after the close request"
        kill "$app_pid"
        wait "$app_pid" 2>/dev/null
        return 1
    fi
    wait "$app_pid"
    local status=$?
    [ "$status" = 0 ] || log "exit code $status after the close request"
    [ "$status" = 0 ]
}

# Crops a client-area rectangle out of a fresh screenshot.
grab() {  # geometry(x y) WxH client_x client_y output
    local ox=$1 oy=$2 size=$3 cx=$4 cy=$5 out=$6
    import -window root "$work/screen.png" 2>/dev/null || return 1
    convert "$work/screen.png" -crop "${size}+$((ox + cx))+$((oy + cy))" +repage "$out"
}

differing_pixels() {  # a b -> number of pixels that differ
    compare -metric AE "$1" "$2" null: 2>&1 | awk '{print int($1)}'
}

# Waits until both canvases show exactly the expected pictures.
expect_meters() {  # ox oy expected_left expected_right seconds
    local ox=$1 oy=$2 left=$3 right=$4 seconds=$5 dl dr
    for _ in $(seq $((seconds * 2))); do
        grab "$ox" "$oy" "$picture_size" "$left_picture_x" "$picture_y" "$work/left.png" &&
            grab "$ox" "$oy" "$picture_size" "$right_picture_x" "$picture_y" "$work/right.png" || return 1
        dl=$(differing_pixels "$work/left.png" "$left")
        dr=$(differing_pixels "$work/right.png" "$right")
        [ "$dl" = 0 ] && [ "$dr" = 0 ] && return 0
        sleep 0.5
    done
    log "canvases differ from the engine's pictures: left $dl pixels, right $dr pixels"
    cp "$work/screen.png" "$work/last-screen.png"
    return 1
}

# A raw s16le stereo square wave: left and right amplitudes, seconds.
make_signal() {  # left right seconds output
    perl -e '
        my ($l, $r, $s) = @ARGV;
        my $half = 50;  # 441 Hz at 44100 Hz
        my $frames = 44100 * $s;
        my $period = "";
        for my $i (0 .. 2 * $half - 1) {
            my $sign = $i < $half ? 1 : -1;
            $period .= pack("s<s<", $sign * $l, $sign * $r);
        }
        binmode STDOUT;
        print $period x int($frames / (2 * $half));
    ' "$1" "$2" "$3" >"$4"
}

play_signal() {  # file; sets player_pid
    pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le "$1" &
    player_pid=$!
}

stop_player() {
    kill "$player_pid" 2>/dev/null
    wait "$player_pid" 2>/dev/null
}

# ---------------------------------------------------------------- cases

case_signal() {
    local id geometry ox oy w h ok=0
    start_program
    id=$(wait_for_window)
    [ -n "$id" ] || { log "signal: no window"; kill "$app_pid"; return 1; }
    read -r ox oy w h <<<"$(window_geometry "$id")"
    if [ "$w" != 1024 ] || [ "$h" != 220 ]; then
        log "signal: client area ${w}x${h}, expected 1024x220"
        ok=1
    fi

    make_signal 16384 8192 30 "$work/signal.raw"
    play_signal "$work/signal.raw"
    expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 15 ||
        { log "signal: meters do not show readings 51 and 25"; ok=1; }
    stop_player

    # The donation button: one xdg-open per click, the address as one argument.
    local bx=$((ox + 330 + 175)) by=$((oy + 170 + 15)) address
    address=$(perl -0ne 'print $1 if /DONATION_ADDRESS\s*=\s*"([^"]+)"/' "$root/app/app_identity.h")
    xdotool mousemove "$((ox + 5))" "$((oy + 215))"
    grab "$ox" "$oy" 350x30 330 170 "$work/button-up.png"
    xdotool mousemove "$bx" "$by" click 1
    for _ in $(seq 50); do [ -s "$work/opened.txt" ] && break; sleep 0.1; done
    sleep 0.5
    xdotool mousemove "$((ox + 5))" "$((oy + 215))"
    sleep 0.3
    grab "$ox" "$oy" 350x30 330 170 "$work/button-checked.png"
    if [ "$(cat "$work/opened.txt" 2>/dev/null)" != "[$address]" ]; then
        log "button: after one click xdg-open got: $(cat "$work/opened.txt" 2>/dev/null)"
        ok=1
    fi
    if [ "$(differing_pixels "$work/button-up.png" "$work/button-checked.png")" = 0 ]; then
        log "button: the first click did not leave it drawn pressed"
        ok=1
    fi
    xdotool mousemove "$bx" "$by" click 1
    for _ in $(seq 50); do [ "$(wc -l <"$work/opened.txt")" -ge 2 ] && break; sleep 0.1; done
    sleep 0.5
    xdotool mousemove "$((ox + 5))" "$((oy + 215))"
    sleep 0.3
    grab "$ox" "$oy" 350x30 330 170 "$work/button-released.png"
    if [ "$(printf '[%s]\n[%s]' "$address" "$address")" != "$(cat "$work/opened.txt")" ]; then
        log "button: after two clicks xdg-open got: $(cat "$work/opened.txt")"
        ok=1
    fi
    if [ "$(differing_pixels "$work/button-up.png" "$work/button-released.png")" != 0 ]; then
        log "button: the second click did not release it"
        ok=1
    fi

    close_and_expect_exit_zero || { log "signal: close failed"; ok=1; }
    return $ok
}

case_overload() {
    local id ox oy w h ok=0
    start_program
    id=$(wait_for_window)
    [ -n "$id" ] || { log "overload: no window"; kill "$app_pid"; return 1; }
    read -r ox oy w h <<<"$(window_geometry "$id")"
    make_signal 32767 32767 30 "$work/full.raw"
    play_signal "$work/full.raw"
    expect_meters "$ox" "$oy" "$work/expected-101.png" "$work/expected-101.png" 15 ||
        { log "overload: the overload disc is not lit as the engine draws it"; ok=1; }
    stop_player
    close_and_expect_exit_zero || { log "overload: close failed"; ok=1; }
    return $ok
}

case_nopulse() {
    local id ox oy w h ok=0 started=$SECONDS
    start_program
    id=$(wait_for_window)
    [ -n "$id" ] || { log "nopulse: no window"; kill "$app_pid"; return 1; }
    read -r ox oy w h <<<"$(window_geometry "$id")"
    expect_meters "$ox" "$oy" "$work/expected-rest.png" "$work/expected-rest.png" 10 ||
        { log "nopulse: the meters are not at rest"; ok=1; }
    close_and_expect_exit_zero || { log "nopulse: close failed"; ok=1; }
    return $ok
}

case_dpi() {
    local id ox oy w h ok=0 holder=""
    # The X server forgets its resources when its last client leaves; a
    # client that stays connected keeps the Xft.dpi that with_services set.
    if ! xrdb -query 2>/dev/null | grep -q '^Xft.dpi:[[:space:]]*144$'; then
        xprop -root -spy >/dev/null 2>&1 &
        holder=$!
        sleep 0.3
        echo "Xft.dpi: 144" | xrdb -nocpp -merge
    fi
    start_program
    id=$(wait_for_window)
    [ -n "$id" ] || { log "dpi: no window"; kill "$app_pid"; return 1; }
    read -r ox oy w h <<<"$(window_geometry "$id")"
    if [ "$w" != 1536 ] || [ "$h" != 330 ]; then
        log "dpi: client area ${w}x${h} at 144 DPI, expected 1536x330"
        ok=1
    fi
    close_and_expect_exit_zero || { log "dpi: close failed"; ok=1; }
    [ -n "$holder" ] && kill "$holder" 2>/dev/null
    return $ok
}

# ---------------------------------------------------------------- driver

if [ "${VELLUMTONE_E2E_CASE:-}" != "" ]; then
    work=$VELLUMTONE_E2E_WORK
    rm -f "$work/opened.txt"
    "case_$VELLUMTONE_E2E_CASE"
    exit $?
fi

missing=""
for program in "$build/vellumtone" "$build/render_meter" "$build/x11_close"; do
    [ -x "$program" ] || missing="$missing $program"
done
for tool in Xvfb xrdb pulseaudio pactl pacat import convert compare xdotool xwininfo perl; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    log "skipped, missing:$missing"
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vellumtone-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
# The stand-in browser: one line per call, each argument in brackets.
cat >"$work/bin/xdg-open" <<'EOF'
#!/bin/sh
for argument in "$@"; do printf '[%s]' "$argument"; done >>"$VELLUMTONE_E2E_OPENED"
echo >>"$VELLUMTONE_E2E_OPENED"
EOF
chmod +x "$work/bin/xdg-open"

render() {  # name readings...
    local name=$1
    shift
    "$build/render_meter" "$work/$name.ppm" "$@" && convert "$work/$name.ppm" "$work/$name.png"
}
readings() { for _ in $(seq 20); do echo "$1"; done; }
render expected-51 $(readings 51) && render expected-25 $(readings 25) &&
    render expected-101 $(readings 101) && render expected-rest ||
    { log "render_meter failed"; exit 1; }

passed=0
failed=0
run_case() {  # name services-options...
    local name=$1
    shift
    if VELLUMTONE_E2E_CASE=$name VELLUMTONE_E2E_WORK=$work \
        timeout 180 bash "$services" "$@" bash "${BASH_SOURCE[0]}" "$build"; then
        log "$name: passed"
        passed=$((passed + 1))
    else
        log "$name: FAILED"
        failed=$((failed + 1))
        [ -f "$work/app.err" ] && sed 's/^/  program: /' "$work/app.err" >&2
        if [ -f "$work/last-screen.png" ] && [ -n "${VELLUMTONE_E2E_KEEP:-}" ]; then
            cp "$work/last-screen.png" "$VELLUMTONE_E2E_KEEP/$name-screen.png"
        fi
    fi
    rm -f "$work/last-screen.png"
}

run_case signal
run_case overload
run_case nopulse --no-pulse
run_case dpi --no-pulse --dpi 144

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
