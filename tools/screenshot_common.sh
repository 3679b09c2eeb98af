# What screenshot_linux.sh and screenshot_wine.sh share, sourced by both: the
# title to find the window by, and the steps from starting the program to its
# picture with the same steady test tone, so the two pictures compare.
# The sourcing script sets root and reads app and id.
# shellcheck shell=bash disable=SC2034,SC2154

title=$("$root/tools/window_title.sh")

# A leading "--dpi N" among the arguments: sets dpi_options to the services'
# options for it, a screen that the scaled window fits on included (empty
# without it). The caller shifts the two arguments away.
read_dpi_option() {
    dpi_options=()
    [ "${1:-}" = --dpi ] || return 0
    case "${2:-}" in
        '' | *[!0-9]*) echo "--dpi takes a whole number of dots per inch" >&2; exit 2 ;;
    esac
    # The window is 1024 x 220 at (30, 30) in 96-DPI pixels.
    dpi_options=(--dpi "$2" --screen "$(((1024 + 60) * $2 / 96))x$(((220 + 60) * $2 / 96 + 100))")
}

# Inside with_services.sh: starts the program, plays a 441 Hz square wave
# (by default left at 70 % of full scale, right at 45 %; the array tone
# holds other peaks) and, once the needles have settled, writes the picture
# of the window to OUTPUT. There is no window manager on that display, so
# the picture is the client area alone. Leaves the program running: sets
# app (its process) and id (its window).
tone=(22937 14745)
photograph() {  # OUTPUT TENTHS_FOR_THE_WINDOW SECONDS_TO_SETTLE COMMAND...
    local output=$1 tenths=$2 settle=$3 player
    shift 3
    if [ -z "${work:-}" ]; then
        work=$(mktemp -d)
        trap 'rm -rf "$work"' EXIT
    fi
    perl "$root/tools/make_signal.pl" "${tone[@]}" 30 >"$work/tone.raw"
    "$@" &
    app=$!
    id=""
    for _ in $(seq "$tenths"); do
        id=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
        sleep 0.1
    done
    pacat --raw --device=meter --rate=44100 --channels=2 --format=s16le "$work/tone.raw" &
    player=$!
    sleep "$settle"
    mkdir -p "$(dirname "$output")"
    import -window "$id" "$output"
    kill "$player" 2>/dev/null || true
}
