#!/bin/bash
# Writes packaging/linux/vellumtone-SIZE.png, the desktop icon at the hicolor
# theme's usual sizes, from packaging/linux/vellumtone.svg. Run it when the
# icon changes; the pictures are checked in so that the build needs no SVG
# renderer. It needs rsvg-convert (Debian: librsvg2-bin); ImageMagick reads
# SVG only through it.
set -euo pipefail
dir=$(cd "$(dirname "$0")/../packaging/linux" && pwd)
command -v rsvg-convert >/dev/null || { echo "make_icons.sh: needs rsvg-convert (librsvg2-bin)" >&2; exit 1; }
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$dir/vellumtone.svg" -o "$dir/vellumtone-$size.png"
done
