#!/bin/bash
# End-to-end test of the reading aids in the Windows program, the real
# vellumtone.exe under Wine: scale marks, the peak hold with its value, the
# overload light held until a click, the decibel scale and the level
# readout, all turned on in the settings file in the prefix's AppData,
# compared pixel for pixel with the engine's pictures (see
# check_reading_aids in e2e_helpers.sh):
#   dpi96   at 96 DPI
#   dpi144  with the desktop's LogPixels at 144
#
#   wine_aids_e2e.sh NATIVE_BUILD_DIR WIN_BUILD_DIR
# Exit 77: skipped (no Windows build, or a tool is missing).
set -u

e2e_name=wine_aids_e2e
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"

use_windows_build "${1:-}" "${2:-}"
case_timeout=180

appdata() { echo "$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Roaming/Vellumtone"; }
case_dpi96() { check_reading_aids dpi96 "$(appdata)" 96; }
case_dpi144() { check_reading_aids dpi144 "$(appdata)" 144; }

run_named_case
prepare_run wine wineserver
run_case dpi96 --wine
run_case dpi144 --wine --dpi 144 --screen 1700x600
report_and_exit
