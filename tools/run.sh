#!/bin/bash
# Starts the Linux meter. On a desktop it simply runs. Without a display it
# says so and shows the program working anyway: a virtual display and a
# private sound server playing a test signal, screenshots saved as PNG files,
# then the meter is closed and the script exits with 0.
set -u
build="${1:-build/linux}"
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$build/vellumtone"
[ -x "$program" ] || { echo "run: $program is missing; build it with 'make linux'" >&2; exit 1; }
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
out="${VELLUMTONE_SHOTS:-$root/build/screenshots}"

if [ "${VELLUMTONE_RUN_INSIDE:-}" = 1 ]; then
  # shellcheck source=tools/screenshot_common.sh
  source "$root/tools/screenshot_common.sh"
  close() { "$(dirname "$program")/x11_close" "$title" || kill -TERM "$app" 2>/dev/null; wait "$app"; }
  photograph "$out/vellumtone-running.png" 100 3 "$program"
  close
  tone=(32767 32767)
  photograph "$out/vellumtone-overload.png" 100 2 "$program"
  # A close request, as the window manager would send it.
  close
  echo "The meter closed with exit code $?."
  exit 0
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$program"
fi

echo "No display here: showing the meter on a virtual display with a test signal instead."
mkdir -p "$out"
VELLUMTONE_RUN_INSIDE=1 VELLUMTONE_SHOTS="$out" "$root/tests/with_services.sh" \
  bash "$root/tools/run.sh" "$build"
echo "Screenshots:"
ls -1 "$out"/vellumtone-*.png
exit 0
