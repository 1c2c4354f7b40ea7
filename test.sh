#!/usr/bin/env bash
# Builds Marvok with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test, on a fresh Debian 12 machine as well: installs what is missing,
# starts a virtual display and a sound server with null devices for the
# tests, and stops them afterwards. Arguments go to ctest (-R, -L, -E...).
# With --windows first: cross-builds the Windows build instead and runs its
# tests under Wine.
set -euo pipefail
cd "$(dirname "$0")"

if [[ "${1:-}" == --windows ]]; then
  shift
  ./scripts/install-deps.sh
  ./scripts/install-deps.sh --windows
  exec ./scripts/check-windows.sh "$@"
fi
./scripts/install-deps.sh
exec ./scripts/check-sanitizers.sh asan "$@"
