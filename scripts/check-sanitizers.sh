#!/usr/bin/env bash
# Builds the client and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the whole suite with them.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset asan -DMARVOK_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build --preset asan

source scripts/services.sh
trap stop_services EXIT
start_display
start_sound_server
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --preset asan -j2 "$@"
