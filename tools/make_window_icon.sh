#!/bin/bash
# Writes ui/x11/window_icon_x11.cpp, the X11 layer's copy of the program's icon,
# from app/vellumtone.ico (the icon Windows uses): its 16, 32 and 48 pixel
# pictures as _NET_WM_ICON wants them. Run it when the icon changes; it
# needs ImageMagick's convert, which the build itself does not.
#   tools/make_window_icon.sh [OUTPUT]    (default ui/x11/window_icon_x11.cpp)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
output=${1:-$root/ui/x11/window_icon_x11.cpp}
{
    cat <<'HEAD'
// The program's icon for window managers (_NET_WM_ICON): the 16, 32 and
// 48 pixel pictures of app/vellumtone.ico, the icon that Windows gives every
// top-level window class. Each picture is its width and height followed by
// its rows of 0xAARRGGBB pixels, top row first. Written by
// tools/make_window_icon.sh; run it again when the icon changes.
#include "ui/x11/window_icon_x11.h"

namespace {

const uint32_t ICON[] = {
HEAD
    # Pictures 3, 2 and 1 of the .ico are its 16, 32 and 48 pixel ones.
    for n in 3 2 1; do
        size=$(convert "$root/app/vellumtone.ico[$n]" -format '%w %h' info:)
        convert "$root/app/vellumtone.ico[$n]" -depth 8 rgba:- |
            perl -e '
                my ($w, $h) = split / /, shift;
                local $/; my $data = <STDIN>;
                my @values = ($w, $h);
                for (my $i = 0; $i < length $data; $i += 4) {
                    my ($r, $g, $b, $a) = unpack "C4", substr($data, $i, 4);
                    push @values, ($a << 24) | ($r << 16) | ($g << 8) | $b;
                }
                print join("\n", map { sprintf "0x%08X", $_ } @values), "\n";' "$size"
    done | awk '{printf "%s%s,", (NR % 8 == 1 ? "    " : " "), $1; if (NR % 8 == 0) print ""}
                END {if (NR % 8 != 0) print ""}'
    cat <<'TAIL'
};

}  // namespace

std::vector<unsigned long> X11WindowIcon() {
    // Format-32 properties travel as longs in Xlib, whatever their width.
    return std::vector<unsigned long>(std::begin(ICON), std::end(ICON));
}
TAIL
} >"$output.tmp"
mv "$output.tmp" "$output"
