#!/bin/bash
# Builds the settings file's fuzz target with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (Debian's clang) and runs it for a bounded time:
#   tools/fuzz.sh [SECONDS] [BUILD_DIR]      (60 s, build/fuzz)
# The corpus grows in BUILD_DIR/corpus from one run to the next; a crash
# leaves its input in BUILD_DIR and fails the run. The last lines of the
# log give the count of inputs tried ("#N ... DONE").
set -euo pipefail
seconds=${1:-60}
build=${2:-build/fuzz}
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh" --fuzz

mkdir -p "$build/corpus"
nice clang++ -std=c++20 -O1 -g -Wall -Wextra -Werror \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" "$root/tests/fuzz/settings_fuzz.cpp" "$root/app/settings_store.cpp" \
    "$root/app/settings_encoding.cpp" "$root/system/utf8_text.cpp" \
    -o "$build/settings_fuzz"
# A few ordinary files to start from.
printf 'Input\0Mic\0\0\0[Vellumtone]\nDevice=1\nChannel=2\n[Other]\nx=1\n' > "$build/corpus/seed-1"
printf 'OnTop\0001\0\0\001\xEF\xBB\xBF; comment\r\n[vellumtone]\r\nonTop = 0\r\n' > "$build/corpus/seed-2"
printf 'Input\0a\nb\0\0\0\xFF\xFE[\0V\0]\0\n\0I\0n\0p\0u\0t\0=\0\x00\xD8\n\0' > "$build/corpus/seed-3"

cd "$build"
# -timeout: one input that takes longer than 10 s counts as a hang.
status=0
timeout $((seconds + 120)) nice ./settings_fuzz -max_total_time="$seconds" -timeout=10 \
    -max_len=4096 -print_final_stats=1 corpus > fuzz.log 2>&1 || status=$?
grep -E '^#[0-9]+.*DONE|stat::number_of_executed_units' fuzz.log || true
if [ "$status" != 0 ]; then
  tail -n 40 fuzz.log
  echo "settings fuzzing failed ($status): see $build/fuzz.log and the crash-* input there" >&2
  exit "$status"
fi
