#!/usr/bin/env bash
# Builds the client and its tests with a sanitizer and runs the whole suite:
#   scripts/check-sanitizers.sh [asan|tsan] [ctest arguments...]
# asan (the default) is AddressSanitizer with UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-asan}
[[ $# -gt 0 ]] && shift
cmake --preset "$preset" -DMARVOK_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build --preset "$preset"

source scripts/services.sh
trap stop_services EXIT
start_display
start_sound_server
supp=$PWD/tests/sanitizer
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=suppressions=$supp/tsan.supp:halt_on_error=1:exitcode=66
ctest --preset "$preset" -j2 "$@"
