#!/usr/bin/env bash
# Builds the client and its tests with a sanitizer and runs the suite:
#   scripts/check-sanitizers.sh [asan|tsan] [ctest arguments...]
# asan (the default, and what ./test.sh runs) is AddressSanitizer with
# UndefinedBehaviorSanitizer: every test. tsan is ThreadSanitizer: only the
# tests labelled "threads", those that run the program's own threads, and
# only their executables are built.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-asan}
[[ $# -gt 0 ]] && shift
cmake --preset "$preset" -DMARVOK_WARNINGS_AS_ERRORS=ON >/dev/null
selection=()
if [[ $preset == tsan ]]; then
  cmake --build --preset "$preset" --target threaded_tests
  selection=(-L threads)
else
  cmake --build --preset "$preset"
fi

source scripts/services.sh
trap stop_services EXIT
start_display
start_sound_server
supp=$PWD/tests/sanitizer
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=suppressions=$supp/tsan.supp:halt_on_error=1:exitcode=66
ctest --preset "$preset" -j2 "${selection[@]}" "$@"
