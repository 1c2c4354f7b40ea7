#!/usr/bin/env bash
# Runs a Windows test program under Wine beside a sound server of its own
# (a null speaker "Speaker", the microphone "USB Headset Mic" made from the
# null sink "MicFeed"), with a steady 1000 Hz tone played into the microphone.
# Usage: with_sound_server.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/scripts/services.sh"
trap stop_services EXIT
start_sound_server >/dev/null
sox -q -n -r 8000 -c 2 -b 16 -e signed-integer -t raw - synth 600 sine 1000 vol 0.5 |
  pacat --playback -d mic --rate=8000 --channels=2 --format=s16le --latency-msec=20 &
MARVOK_SOUND_PIDS+=($!)
"$root/tests/support/under_wine.sh" "$@"
