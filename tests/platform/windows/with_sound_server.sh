#!/usr/bin/env bash
# Runs a Windows test program under Wine beside a sound server of its own
# (a null speaker "Speaker", the microphone "USB Headset Mic" made from the
# null sink "MicFeed"). The program may stop and start the server again: it
# writes "stop" or "start" to the file "request" in the folder named by
# MARVOK_SOUND_SERVER_CONTROL and waits for the file "answer".
# Usage: with_sound_server.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/scripts/services.sh"
trap stop_services EXIT
start_sound_server >/dev/null
export MARVOK_SOUND_SERVER_CONTROL="$MARVOK_SERVICE_DIR/control"
mkdir -p "$MARVOK_SOUND_SERVER_CONTROL"

"$root/tests/support/under_wine.sh" "$@" &
program=$!
while kill -0 "$program" 2>/dev/null; do
  request_file="$MARVOK_SOUND_SERVER_CONTROL/request"
  if [[ -f $request_file ]]; then
    request=$(<"$request_file")
    rm -f "$request_file"
    case $request in
      stop) stop_sound_server ;;
      start) start_sound_server >/dev/null ;;
    esac
    echo "$request" >"$MARVOK_SOUND_SERVER_CONTROL/answer.new"
    mv "$MARVOK_SOUND_SERVER_CONTROL/answer.new" "$MARVOK_SOUND_SERVER_CONTROL/answer"
  fi
  sleep 0.05
done
wait "$program"
