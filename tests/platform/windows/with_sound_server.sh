#!/usr/bin/env bash
# Runs a Windows test program under Wine beside a sound server of its own
# (a null speaker "Speaker", the microphone "USB Headset Mic" made from the
# null sink "MicFeed").
# Usage: with_sound_server.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/scripts/services.sh"
trap stop_services EXIT
start_sound_server >/dev/null
"$root/tests/support/under_wine.sh" "$@"
