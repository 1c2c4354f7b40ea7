#!/usr/bin/env bash
# Builds Marvok and starts the client, on a fresh Debian 12 machine as well:
# installs what is missing, starts the bundled relay server unless one
# already listens here, and when there is no display or no sound server,
# starts a virtual display (and saves a screenshot) or a sound server with
# null devices. Ctrl-C closes the client and stops what was started.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

source scripts/services.sh
trap stop_services EXIT
headless=0
if [[ -z "${DISPLAY:-}" ]]; then
  start_display
  headless=1
fi
pactl info >/dev/null 2>&1 || start_sound_server
if ! ss -Hlun 'sport = :30000' | grep -q .; then
  build/default/servers/relay/marvok-relay --address 127.0.0.1 </dev/null 2>"$MARVOK_SERVICE_DIR/relay.log" &
  MARVOK_SERVICE_PIDS+=($!)
  echo "Relay server started on 127.0.0.1 (log: $MARVOK_SERVICE_DIR/relay.log while it runs)"
fi

build=$PWD/build/default
cd "$build/resources"  # the client reads its pictures from the current directory
if ((headless)); then
  "$build/src/marvok" &
  client=$!
  trap 'kill -INT $client 2>/dev/null || true' INT TERM
  sleep 4
  shot=$build/marvok-screenshot.png
  import -window root -crop 550x730+685+175 "$shot"
  echo "Marvok runs on the virtual display $DISPLAY; its window is in $shot"
  echo "Press Ctrl-C to close it."
  wait "$client" || true
  wait "$client" 2>/dev/null || true
else
  "$build/src/marvok"
fi
