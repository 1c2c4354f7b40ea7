#!/usr/bin/env bash
# Runs a Windows test program under Wine against a PulseAudio server of its
# own with null devices: the test run's usual ones, plus a second microphone
# whose long name has an accent within the 31 characters wave capture keeps,
# and no icon. Then the tests of a system without sound devices, against no
# server at all. Usage: with_sound_server.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/scripts/services.sh"
trap stop_services EXIT
start_sound_server
pactl load-module module-remap-source master=spk.monitor source_name=studiomic \
  "source_properties='device.description=\"Microphone à large membrane pour le studio\" device.icon_name=\"\"'" >/dev/null
program=$1
shift
"$root/tests/support/under_wine.sh" "$program" --gtest_filter='-WithoutSoundDevices*' "$@"
PULSE_SERVER=unix:/nonexistent/pulse/native \
  "$root/tests/support/under_wine.sh" "$program" --gtest_filter='WithoutSoundDevices*' 2> >(grep -v '^ALSA lib' >&2)
