#!/usr/bin/env bash
# Runs a Windows test program under Wine beside a sound server of its own:
# the test run's usual null devices (a speaker "Speaker", the microphone "USB
# Headset Mic" made from the null sink "MicFeed"), plus a second microphone
# whose long name has an accent within the 31 characters wave capture keeps,
# and no icon. The program may stop and start the server again: it writes
# "stop" or "start" to the file "request" in the folder named by
# MARVOK_SOUND_SERVER_CONTROL and waits for the file "answer". Then the
# program's tests of a system without sound devices run against no server.
# Usage: with_sound_server.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/scripts/services.sh"
running=""
cleanup() {
  [[ -z $running ]] || kill "$running" 2>/dev/null || true
  stop_services
}
trap cleanup EXIT
add_studio_microphone() {
  pactl load-module module-remap-source master=spk.monitor source_name=studiomic \
    "source_properties='device.description=\"Microphone à large membrane pour le studio\" device.icon_name=\"\"'" >/dev/null
}
start_sound_server >/dev/null
add_studio_microphone
export MARVOK_SOUND_SERVER_CONTROL="$MARVOK_SERVICE_DIR/control"
mkdir -p "$MARVOK_SOUND_SERVER_CONTROL"

program=$1
shift
# gtest reads only the last filter: one that skips cases comes with ctest's
# arguments, and keeps the no-server cases out of the run with a server.
filter=-WithoutSoundDevices*
arguments=()
for argument in "$@"; do
  if [[ $argument == --gtest_filter=-* ]]; then
    filter+=":${argument#--gtest_filter=-}"
  else
    arguments+=("$argument")
  fi
done
"$root/tests/support/under_wine.sh" "$program" "--gtest_filter=$filter" "${arguments[@]}" &
running=$!
while kill -0 "$running" 2>/dev/null; do
  request_file="$MARVOK_SOUND_SERVER_CONTROL/request"
  if [[ -f $request_file ]]; then
    request=$(<"$request_file")
    rm -f "$request_file"
    case $request in
      stop) stop_sound_server ;;
      start) start_sound_server >/dev/null && add_studio_microphone ;;
    esac
    echo "$request" >"$MARVOK_SOUND_SERVER_CONTROL/answer.new"
    mv "$MARVOK_SOUND_SERVER_CONTROL/answer.new" "$MARVOK_SOUND_SERVER_CONTROL/answer"
  fi
  sleep 0.05
done
wait "$running"
running=""
PULSE_SERVER=unix:/nonexistent/pulse/native \
  "$root/tests/support/under_wine.sh" "$program" --gtest_filter='WithoutSoundDevices*' 2> >(grep -v '^ALSA lib' >&2)
