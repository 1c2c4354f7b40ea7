#!/usr/bin/env bash
# Builds Marvok and starts the client, on a fresh Debian 12 machine as well:
# installs what is missing, starts the bundled relay server and web service
# unless they already listen here (the web service's certificate is made on
# first run), and when there is no display or no sound server,
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
# The client is built to trust the private authority made here.
web_dir=$PWD/build/default/web-service
if ! ss -Hltn 'sport = :8443' | grep -q .; then
  scripts/make-web-certificate.sh "$web_dir"
  build/default/servers/web/marvok-web serve --database "$web_dir/members.sqlite" --address 127.0.0.1 --port 8443 \
    --certificate "$web_dir/server.pem" --key "$web_dir/server.key" </dev/null 2>"$MARVOK_SERVICE_DIR/web.log" &
  MARVOK_SERVICE_PIDS+=($!)
  wait_for 10 sh -c "ss -Hltn 'sport = :8443' | grep -q ." || { cat "$MARVOK_SERVICE_DIR/web.log" >&2; exit 1; }
  echo "Web service started on https://localhost:8443 (members in $web_dir/members.sqlite)"
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
