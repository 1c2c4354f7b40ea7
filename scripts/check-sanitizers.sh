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
  # The companion's portal test runs in Qt's D-Bus thread over glib's loop,
  # neither built for the sanitizer, whose own wake-ups it reports as races.
  selection=(-L threads -E '^PortalShortcutsTest[.]')
else
  cmake --build --preset "$preset"
fi

source scripts/services.sh
trap stop_services EXIT
start_display
start_sound_server
supp=$PWD/tests/sanitizer
# __tls_get_addr is not intercepted: with it, GCC 12's leak checker guesses
# the bounds of a library's thread-local block from its address, and a block
# that happens to start 16 bytes into a page is read as having a header it
# lacks, which crashes the checker at exit (a layout accident any change to a
# test program may bring).
# The blocks are still found through the thread's own table of them, so what
# they point to is not taken for a leak.
export ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0
export LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Tests start servers from threaded processes: the child only execs, so the
# sanitizer need not end it for forking with threads running.
export TSAN_OPTIONS=suppressions=$supp/tsan.supp:halt_on_error=1:exitcode=66:die_after_fork=0
ctest --preset "$preset" -j2 "${selection[@]}" "$@"
