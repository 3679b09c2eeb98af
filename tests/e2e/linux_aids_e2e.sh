#!/bin/bash
# End-to-end test of the reading aids in the native Linux program: scale
# marks, the peak hold with its value, the overload light held until a click,
# the decibel scale and the level readout, all turned on in the settings
# file, compared pixel for pixel with the engine's pictures (see
# check_reading_aids in e2e_helpers.sh):
#   dpi96   at 96 DPI
#   dpi144  with Xft.dpi 144, the meters drawn at their scaled size
#
#   linux_aids_e2e.sh BUILD_DIR    (exit 77: skipped, something needed is missing)
set -u

e2e_name=linux_aids_e2e
case_timeout=90
# shellcheck source=tests/e2e/e2e_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e_helpers.sh"
use_linux_build "${1:-}"

case_dpi96() { check_reading_aids dpi96 "$XDG_CONFIG_HOME/vellumtone" 96; }
case_dpi144() { check_reading_aids dpi144 "$XDG_CONFIG_HOME/vellumtone" 144; }

run_named_case
prepare_run "$build/vellumtone"
run_case dpi96
run_case dpi144 --dpi 144 --screen 1700x600
report_and_exit
