#!/usr/bin/env bash
# Builds what the local voice network needs and starts it, on a fresh Debian 12
# machine as well: the web service (its certificate made on first run), the
# relay server, the speech companion, the client, and a demo member who joins
# channel 0 and speaks now and then. Each is started only when it does not run
# already. Without a display it all runs on a virtual one: once the demo member
# has spoken, a screenshot is saved and what happened is printed. Without a
# sound server one with null devices is started. Ctrl-C stops what was started.
# With --windows the client is the Windows build's marvok.exe under Wine, the
# web service's authority trusted in the host's store while it runs.
set -euo pipefail
cd "$(dirname "$0")"
started=$(date +%s.%N)
windows=0
[[ ${1:-} == --windows ]] && windows=1

./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target marvok talksrv marvok-relay marvok-web marvok-demo marvok_resources
if ((windows)); then
  ./scripts/install-deps.sh --windows
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target marvok
  export MARVOK_WINE_PREFIX=$PWD/build/windows/wine-prefix-run
fi

source scripts/services.sh
build=$PWD/build/default
web_dir=$build/web-service
demo_machine=7000000000000007  # the demo member's own machine identifier
client=
stop_all() {
  trap - INT TERM
  if [[ -n "$client" ]]; then
    # The client closes in order on SIGTERM, under Wine on its Escape key; the
    # display and sound server it uses are stopped only once it has gone.
    if ((windows)); then
      xdotool search --name '^MARVOK$' windowfocus key Escape 2>/dev/null || true
    else
      kill -TERM "$client" 2>/dev/null || true
    fi
    wait_for 10 bash -c "! kill -0 $client" || kill -KILL "$client" 2>/dev/null || true
    ((windows)) && WINEPREFIX=$MARVOK_WINE_PREFIX wineserver -k 2>/dev/null || true
  fi
  stop_services
}
trap stop_all EXIT
trap 'exit 130' INT TERM

started_note() { echo "Started $1"; }
listening() { ss -Hln "$1" "sport = :$2" | grep -q .; }
run_logged() {  # run_logged <log name> <command...>: runs in the background
  "${@:2}" </dev/null >"$MARVOK_SERVICE_DIR/$1.log" 2>&1 &
  MARVOK_SERVICE_PIDS+=($!)
}

headless=0
if [[ -z "${DISPLAY:-}" ]]; then
  start_display
  headless=1
  started_note "a virtual display $DISPLAY"
fi
if ! pactl info >/dev/null 2>&1; then
  start_sound_server
  started_note "a sound server with null devices (Speaker, USB Headset Mic)"
fi

if listening -t 8443; then
  echo "The web service already listens on port 8443"
else
  scripts/make-web-certificate.sh "$web_dir"
  web() { "$build/servers/web/marvok-web" "$@" --database "$web_dir/members.sqlite"; }
  # The demo member gets a card of its own on first run.
  if ! web member list | grep -q "machine=$demo_machine"; then
    web member set 99 --machine "$demo_machine" --name "Camille" --first-name "Camille" --nickname "La démo" \
      --city "Lyon" --phrase "Je parle toute seule, mais avec plaisir." >/dev/null
  fi
  run_logged web "$build/servers/web/marvok-web" serve --database "$web_dir/members.sqlite" \
    --address 127.0.0.1 --port 8443 --certificate "$web_dir/server.pem" --key "$web_dir/server.key"
  wait_for 10 listening -t 8443 || { cat "$MARVOK_SERVICE_DIR/web.log" >&2; exit 1; }
  started_note "the web service marvok-web on https://localhost:8443 (members in $web_dir/members.sqlite)"
fi
if ((windows)); then
  trust_in_host_store "$web_dir/ca.pem"
  started_note "trusting the web service's authority in the host's store until the end"
fi

if listening -u 30000; then
  echo "A relay server already listens on port 30000"
else
  # The pairing file lets a restarted relay reach every client behind one address at once.
  run_logged relay "$build/servers/relay/marvok-relay" --address 127.0.0.1 --pairing-file "$build/relay-pairing.txt"
  started_note "the relay server marvok-relay on 127.0.0.1, channels on ports 30000-30010 and 31000-31010"
fi

start_companion() {
  if listening -u 5555; then
    echo "A speech companion already listens on port 5555"
  else
    run_logged talksrv "$build/src/talksrv"
    started_note "the speech companion talksrv (hold Pause, or its window's button, to talk)"
  fi
}
# On a virtual display the companion starts after the demo member's first
# sentence, so that the sound heard is the client's alone.
((headless)) || start_companion
watch=$headless

if pgrep -x marvok >/dev/null || pgrep -f 'marvok\.exe' >/dev/null; then
  echo "A client already runs here: it is left as it is"
else
  # The client reads its pictures from the current directory.
  if ((windows)); then
    (cd "$build/resources" && exec "$OLDPWD/tests/support/under_wine.sh" "$OLDPWD/build/windows/marvok.exe") \
      >"$MARVOK_SERVICE_DIR/client.log" 2>&1 &
    client=$!
    started_note "the client marvok.exe under Wine"
  else
    (cd "$build/resources" && exec "$build/src/marvok") &
    client=$!
    started_note "the client marvok"
  fi
  # Under Wine a first run also makes the client's prefix.
  wait_for $((windows ? 90 : 20)) xdotool search --onlyvisible --name '^MARVOK$' || true
fi

demo_log=$MARVOK_SERVICE_DIR/demo.log
if pgrep -x marvok-demo >/dev/null; then
  echo "A demo member already runs here"
  watch=0  # its speech cannot be watched from here
else
  run_logged demo "$build/servers/demo/marvok-demo"
  started_note "the demo member marvok-demo on channel 0"
fi

# Watches the demo member's first sentence: what the speaker played and what the window showed.
report_first_sentence() {
  local line seconds heard_at heard shot=$build/marvok-screenshot.png sound=$MARVOK_SERVICE_DIR/heard.wav
  wait_for 60 grep -q '^marvok-demo: speaking' "$demo_log" || {
    echo "The demo member did not speak within a minute:" >&2; cat "$demo_log" >&2; return 1; }
  heard_at=$(date +%s.%N)
  line=$(grep -m1 '^marvok-demo: speaking' "$demo_log")
  seconds=$(sed -n 's/.*(\([0-9.]*\) s)$/\1/p' <<<"$line")
  timeout "$(awk -v s="${seconds:-4}" 'BEGIN { print s + 1.5 }')" \
    parecord -d @DEFAULT_MONITOR@ --rate=8000 --channels=1 --format=s16le --file-format=wav "$sound" || true
  import -window root -crop 550x730+685+175 "$shot" 2>/dev/null || true
  heard=$(sox "$sound" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')

  local demo_id others
  demo_id=$(sed -n 's/^marvok-demo: member \([0-9]*\).*/\1/p' "$demo_log" | head -n 1)
  echo
  echo "What happened:"
  grep -m1 '^marvok-demo: member' "$demo_log" | sed 's/^marvok-demo: /  the demo member is /'
  others=$("$build/servers/web/marvok-web" member list --database "$web_dir/members.sqlite" 2>/dev/null |
    grep -v "machine=$demo_machine" || true)
  if [[ -n "$others" && $(wc -l <<<"$others") == 1 ]]; then
    echo "  this PC is member $(awk -F'\t' '{ sub("name=", "", $3); print $1 " \"" $3 "\"" }' <<<"$others")"
  fi
  echo "  the demo member said ${line#marvok-demo: speaking }"
  if awk -v rms="${heard:-0}" 'BEGIN { exit !(rms > 0.005) }'; then
    echo "  the client played it on the speaker (RMS amplitude $heard)," \
      "$(awk -v a="$started" -v b="$heard_at" 'BEGIN { printf "%.0f", b - a }') s after ./run.sh started"
  else
    echo "  the client's speaker stayed silent (RMS amplitude ${heard:-unknown})"
  fi
  if [[ -n "$demo_id" ]] && grep -q "GET /users/$demo_id/client.xml 200" "$MARVOK_SERVICE_DIR/web.log" 2>/dev/null; then
    echo "  the client showed the speaker: it fetched member $demo_id's card and picture"
  fi
  echo "  the window while the demo member spoke: $shot"
}

if ((headless)); then
  if ((watch)) && [[ -n "$client" ]]; then report_first_sentence || true; fi
  start_companion
fi
echo "Press Ctrl-C to stop what was started."
if [[ -n "$client" ]]; then
  wait "$client" || true
  client=
else
  while true; do sleep 3600; done
fi
