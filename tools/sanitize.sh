#!/bin/bash
# Builds the Linux program and its tests with a sanitizer and runs the unit
# tests and the Linux end-to-end tests (the sound server's faults among
# them, the display's, the window menu's and the screen readers', and the
# Wayland layer's on a headless compositor) under it:
#   tools/sanitize.sh address,undefined build/asan
#   tools/sanitize.sh thread build/tsan
# Any report fails the run: the sanitizers stop the process at the first one.
set -euo pipefail
sanitizer=${1:?usage: sanitize.sh SANITIZERS BUILD_DIR}
build=${2:?usage: sanitize.sh SANITIZERS BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMTONE_BENCH=OFF \
    -DVELLUMTONE_SANITIZE="$sanitizer" >/dev/null
cmake --build "$build" -j"${JOBS:-2}"

# The suppressions go where every user can read them: the Wayland test runs
# the program as a user of its own, which a checkout in a private folder
# (root's home) would keep out, and a sanitizer that cannot read its
# suppressions ends the program.
suppressions=$(mktemp -d "${TMPDIR:-/tmp}/vellumtone-sanitize.XXXXXX")
trap 'rm -rf "$suppressions"' EXIT
cp "$root/tools/lsan.supp" "$root/tools/tsan.supp" "$suppressions/"
chmod 755 "$suppressions"
chmod 644 "$suppressions"/*.supp
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp"
cd "$build"
ctest --output-on-failure -E '_e2e|wine|x11_'
ctest --output-on-failure -R '^(linux_(faults_|display_|menu_|a11y_)?|wayland_|gnome_|kwin_)e2e$'
