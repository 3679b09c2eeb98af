#!/bin/bash
# End-to-end test of the Windows program: the real vellumtone.exe runs under
# Wine on a private virtual display with a private PulseAudio server
# (tests/with_services.sh), which Wine's wave-in records from, and is looked
# at the way a user would:
#   signal    a stereo square wave (left 16384, right 8192) played into the
#             "meter" sink shows on each canvas exactly as the engine draws 20
#             readings of 51 and 25; the client area is 1024 x 220; each click
#             on the button hands the donation address to the browser (Wine's
#             winebrowser calls xdg-open: a stand-in first in PATH) once and
#             toggles the pressed look; Alt+F4 ends the program with code 0
#   overload  a full-scale left channel lights the overload disc on the left
#             meter as the engine draws 20 readings of 101, the right one shows
#             25; a window manager's close request (WM_DELETE_WINDOW) ends the
#             program with code 0
#   nopulse   without a sound server the window opens and both meters rest
#
#   wine_e2e.sh NATIVE_BUILD_DIR WIN_BUILD_DIR
# The native build gives render_meter (and x11_close); the Windows build gives
# vellumtone.exe. Exit 77: skipped (no Windows build, or a tool is missing).
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
services="$root/tests/with_services.sh"
title="Vellumtone by Quorrin V$(head -n1 "$root/VERSION")"

# A meter's picture inside its 2-pixel edge, in client coordinates.
picture_size=493x137
left_picture_x=12
right_picture_x=519
picture_y=12
# A point of the client area away from every control.
rest_x=5
rest_y=215

log() { echo "wine_e2e: $*" >&2; }

# ---------------------------------------------------------------- helpers
# These run inside with_services.sh, with DISPLAY, PULSE_SERVER and
# WINEPREFIX set.

wait_for_window() {  # prints the window id
    local id=""
    for _ in $(seq 300); do
        id=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}

# Wine maps a window's client area to its X window: no window manager runs,
# so there is no frame around it.
window_geometry() {  # id -> "x y width height" of the client area on the screen
    xwininfo -id "$1" | awk '
        /Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

start_program() {  # starts vellumtone.exe under Wine in the background; sets app_pid
    PATH="$work/bin:$PATH" VELLUMTONE_E2E_OPENED="$work/opened.txt" \
        wine "$exe" >"$work/app.out" 2>"$work/app.err" &
    app_pid=$!
}

# Waits for the program to end by itself and expects exit code 0.
expect_exit_zero() {
    for _ in $(seq 150); do
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

close_with_alt_f4() {  # id
    xdotool key --window "$1" alt+F4 2>/dev/null
    expect_exit_zero
}

close_with_delete_window() {
    if ! "$native/x11_close" --wait 5 "$title"; then
        log "no window to close"
        kill "$app_pid" 2>/dev/null
        return 1
    fi
    expect_exit_zero
}

grab() {  # origin_x origin_y WxH client_x client_y output: crops a fresh screenshot
    local ox=$1 oy=$2 size=$3 cx=$4 cy=$5 out=$6
    import -window root "$work/screen.png" 2>/dev/null || return 1
    convert "$work/screen.png" -crop "${size}+$((ox + cx))+$((oy + cy))" +repage "$out"
}

differing_pixels() {  # a b -> number of pixels that differ
    compare -metric AE "$1" "$2" null: 2>&1 | awk '{print int($1)}'
}

# Waits until both canvases show exactly the expected pictures.
expect_meters() {  # ox oy expected_left expected_right seconds
    local ox=$1 oy=$2 left=$3 right=$4 seconds=$5 dl="" dr=""
    for _ in $(seq $((seconds * 2))); do
        grab "$ox" "$oy" "$picture_size" "$left_picture_x" "$picture_y" "$work/left.png" &&
            grab "$ox" "$oy" "$picture_size" "$right_picture_x" "$picture_y" "$work/right.png" ||
            return 1
        dl=$(differing_pixels "$work/left.png" "$left")
        dr=$(differing_pixels "$work/right.png" "$right")
        if [ "$dl" = 0 ] && [ "$dr" = 0 ]; then
            cp "$work/screen.png" "$work/last-screen.png"
            return 0
        fi
        sleep 0.5
    done
    log "canvases differ from the engine's pictures: left $dl pixels, right $dr pixels"
    cp "$work/screen.png" "$work/last-screen.png"
    return 1
}

play_signal() {  # left right; sets player_pid
    perl "$root/tools/make_signal.pl" "$1" "$2" 60 >"$work/signal.raw"
    pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le "$work/signal.raw" &
    player_pid=$!
}

stop_player() {
    kill "$player_pid" 2>/dev/null
    wait "$player_pid" 2>/dev/null
}

opened_count() { [ -f "$work/opened.txt" ] && wc -l <"$work/opened.txt" || echo 0; }

# One click on the button: waits until the browser was called once more.
click_button() {  # ox oy
    local before
    before=$(opened_count)
    xdotool mousemove "$(($1 + 330 + 175))" "$(($2 + 170 + 15))" click 1
    for _ in $(seq 100); do [ "$(opened_count)" -gt "$before" ] && break; sleep 0.1; done
    sleep 1  # a second call would come now
    xdotool mousemove "$(($1 + rest_x))" "$(($2 + rest_y))"
    sleep 0.3
}

# ---------------------------------------------------------------- cases

case_signal() {
    local id ox oy w h ok=0
    start_program
    id=$(wait_for_window)
    [ -n "$id" ] || { log "signal: no window"; kill "$app_pid"; return 1; }
    read -r ox oy w h <<<"$(window_geometry "$id")"
    if [ "$w" != 1024 ] || [ "$h" != 220 ]; then
        log "signal: client area ${w}x${h}, expected 1024x220"
        ok=1
    fi

    play_signal 16384 8192
    expect_meters "$ox" "$oy" "$work/expected-51.png" "$work/expected-25.png" 20 ||
        { log "signal: meters do not show readings 51 and 25"; ok=1; }
    cp "$work/last-screen.png" "$work/signal-screen.png"
    stop_player

    local address
    address=$(perl -0ne 'print $1 if /DONATION_ADDRESS\s*=\s*"([^"]+)"/' "$root/app/app_identity.h")
    xdotool mousemove "$((ox + rest_x))" "$((oy + rest_y))"
    sleep 0.3
    grab "$ox" "$oy" 350x30 330 170 "$work/button-up.png"
    click_button "$ox" "$oy"
    grab "$ox" "$oy" 350x30 330 170 "$work/button-checked.png"
    if [ "$(cat "$work/opened.txt" 2>/dev/null)" != "[$address]" ]; then
        log "button: after one click the browser got: $(cat "$work/opened.txt" 2>/dev/null)"
        ok=1
    fi
    if [ "$(differing_pixels "$work/button-up.png" "$work/button-checked.png")" = 0 ]; then
        log "button: the first click did not leave it drawn pressed"
        ok=1
    fi
    click_button "$ox" "$oy"
    grab "$ox" "$oy" 350x30 330 170 "$work/button-released.png"
    if [ "$(printf '[%s]\n[%s]' "$address" "$address")" != "$(cat "$work/opened.txt")" ]; then
        log "button: after two clicks the browser got: $(cat "$work/opened.txt")"
        ok=1
    fi
    # Released, it looks as before the clicks but for the focus rectangle
    # that it now has, 3 pixels inside its edge.
    convert "$work/button-up.png" -crop 340x20+5+5 +repage "$work/button-up-inside.png"
    convert "$work/button-released.png" -crop 340x20+5+5 +repage "$work/button-released-inside.png"
    if [ "$(differing_pixels "$work/button-up-inside.png" "$work/button-released-inside.png")" != 0 ]; then
        log "button: the second click did not release it"
        ok=1
    fi

    close_with_alt_f4 "$id" || { log "signal: Alt+F4 did not end the program"; ok=1; }
    return $ok
}

case_overload() {
    local id ox oy w h ok=0
    start_program
    id=$(wait_for_window)
    [ -n "$id" ] || { log "overload: no window"; kill "$app_pid"; return 1; }
    read -r ox oy w h <<<"$(window_geometry "$id")"
    play_signal 32767 8192
    expect_meters "$ox" "$oy" "$work/expected-101.png" "$work/expected-25.png" 20 ||
        { log "overload: the overload disc is not lit as the engine draws it"; ok=1; }
    cp "$work/last-screen.png" "$work/overload-screen.png"
    stop_player
    close_with_delete_window || { log "overload: the close request did not end it"; ok=1; }
    return $ok
}

case_nopulse() {
    local id ox oy w h ok=0
    start_program
    id=$(wait_for_window)
    [ -n "$id" ] || { log "nopulse: no window"; kill "$app_pid"; return 1; }
    read -r ox oy w h <<<"$(window_geometry "$id")"
    sleep 2  # time in which readings would have come
    expect_meters "$ox" "$oy" "$work/expected-rest.png" "$work/expected-rest.png" 10 ||
        { log "nopulse: the meters are not at rest"; ok=1; }
    cp "$work/last-screen.png" "$work/nopulse-screen.png"
    close_with_alt_f4 "$id" || { log "nopulse: Alt+F4 did not end the program"; ok=1; }
    return $ok
}

# ---------------------------------------------------------------- driver

if [ "${VELLUMTONE_E2E_CASE:-}" != "" ]; then
    work=$VELLUMTONE_E2E_WORK
    native=$VELLUMTONE_E2E_NATIVE
    exe=$VELLUMTONE_E2E_EXE
    rm -f "$work/opened.txt"
    "case_$VELLUMTONE_E2E_CASE"
    exit $?
fi

native_arg=${1:-}
win_arg=${2:-}
if [ -z "$win_arg" ] || [ ! -f "$win_arg/vellumtone.exe" ]; then
    log "skipped: no Windows build given (second argument: a cross build directory)"
    exit 77
fi
native=$(cd "$native_arg" && pwd)
exe="$(cd "$win_arg" && pwd)/vellumtone.exe"

missing=""
for program in "$native/render_meter" "$native/x11_close"; do
    [ -x "$program" ] || missing="$missing $program"
done
for tool in wine wineserver Xvfb pulseaudio pactl pacat import convert compare xdotool xwininfo \
    perl; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    log "skipped, missing:$missing"
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vellumtone-wine-e2e.XXXXXX")
trap '[ -n "${VELLUMTONE_E2E_KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
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
    "$native/render_meter" "$work/$name.ppm" "$@" && convert "$work/$name.ppm" "$work/$name.png"
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
    if VELLUMTONE_E2E_CASE=$name VELLUMTONE_E2E_WORK=$work VELLUMTONE_E2E_NATIVE=$native \
        VELLUMTONE_E2E_EXE=$exe timeout 300 bash "$services" --wine "$@" \
        bash "${BASH_SOURCE[0]}"; then
        log "$name: passed"
        passed=$((passed + 1))
    else
        log "$name: FAILED"
        failed=$((failed + 1))
        [ -f "$work/app.err" ] && grep -v 'XGetInputFocus' "$work/app.err" | sed 's/^/  program: /' >&2
    fi
    # Screenshots to look at: VELLUMTONE_E2E_KEEP=DIR keeps them.
    if [ -n "${VELLUMTONE_E2E_KEEP:-}" ]; then
        for shot in "$work"/*-screen.png; do
            [ -f "$shot" ] && cp "$shot" "$VELLUMTONE_E2E_KEEP/wine-$(basename "$shot")"
        done
    fi
    rm -f "$work/last-screen.png"
}

run_case signal
run_case overload
run_case nopulse --no-pulse

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
