#!/usr/bin/env bash
# Builds Marvok and runs every test, on a fresh Debian 12 machine as well:
# installs what is missing, starts a virtual display and a sound server with
# null devices for the tests, and stops them afterwards.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake --preset default -DMARVOK_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build --preset default

source scripts/services.sh
trap stop_services EXIT
start_display
start_sound_server

ctest --preset default -j2 "$@"
