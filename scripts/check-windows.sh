#!/usr/bin/env bash
# Cross-builds the Windows build and runs its tests under Wine:
#   scripts/check-windows.sh [ctest arguments...]
# The platform tests talk to the Linux relay and web service, which it builds
# first in build/default, and to a virtual display and a sound server with
# null devices, which it starts and stops.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null
cmake --build --preset default --target marvok-relay marvok-web marvok-demo marvok_resources
cmake --preset windows >/dev/null
cmake --build --preset windows

source scripts/services.sh
trap stop_services EXIT
start_display
start_sound_server
ctest --test-dir build/windows --output-on-failure "$@"
