#!/usr/bin/env bash
# Runs the whole local network for a while and reports what the client, the
# relay, the web service and the demo member cost over time:
#   scripts/soak.sh [minutes]        (default 60)
# In a network namespace of its own, on a virtual display and a sound server
# with null devices: the demo member speaks on channel 0 every 15 seconds, a
# tone is fed into the microphone, and a scripted companion keys the client's
# transmitter and moves it to other channels and back every 30 seconds.
# Resident memory, open descriptors and threads are sampled every 10 seconds
# into build/default/soak/samples.csv; the speaker and the demo member record
# what they hear. Exits non-zero when the client's memory grew by more than
# 1 MB after start-up, its descriptors or threads did not stay flat, or speech
# did not go both ways.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-60}
if [[ -z "${MARVOK_SOAK_NAMESPACE:-}" ]]; then
  ./scripts/install-deps.sh
  cmake --preset default >/dev/null
  cmake --build --preset default --target marvok marvok-relay marvok-web marvok-demo marvok_resources
  MARVOK_SOAK_NAMESPACE=1 exec tests/support/in_private_network.sh "$0" "$@"
fi

build=$PWD/build/default
out=$build/soak
rm -rf "$out" && mkdir -p "$out"
source scripts/services.sh
stop_all() {
  local pid
  # The client first, so that it closes in order while its display is up.
  for pid in ${client:-} ${demo:-}; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in ${client:-} ${demo:-}; do wait "$pid" 2>/dev/null || true; done
  stop_services
}
trap stop_all EXIT
start_display
start_sound_server

# The same service and certificate as ./run.sh: the client trusts that authority.
web_dir=$build/web-service
scripts/make-web-certificate.sh "$web_dir"
database=$out/members.sqlite
"$build/servers/web/marvok-web" member set 99 --database "$database" --machine 7000000000000007 --name Camille \
  --city Lyon --phrase "Je parle pour l'essai d'endurance." >/dev/null
"$build/servers/web/marvok-web" serve --database "$database" --address 127.0.0.1 --port 8443 \
  --certificate "$web_dir/server.pem" --key "$web_dir/server.key" >"$out/web.log" 2>&1 &
web=$!
MARVOK_SERVICE_PIDS+=($web)
"$build/servers/relay/marvok-relay" --address 127.0.0.1 </dev/null >"$out/relay.log" 2>&1 &
relay=$!
MARVOK_SERVICE_PIDS+=($relay)

# What the member says into the microphone, and what the speaker plays.
sox -n -r 8000 -c 2 -b 16 -e signed -t raw - synth $((minutes * 60 + 120)) sine 700 vol 0.3 |
  pacat --playback -d mic --rate=8000 --channels=2 --format=s16le &
MARVOK_SERVICE_PIDS+=($!)
parec -d spk.monitor --rate=8000 --channels=1 --format=s16le >"$out/speaker.raw" &
recorder=$!
MARVOK_SERVICE_PIDS+=($recorder)

python3 scripts/soak_driver.py --seconds $((minutes * 60)) --csv "$out/samples.csv" --pids "$out/pids" \
  >"$out/driver.log" 2>&1 &
driver=$!
MARVOK_SERVICE_PIDS+=($driver)
wait_for 10 grep -q "companion ready" "$out/driver.log" || { cat "$out/driver.log" >&2; exit 1; }

(cd "$build/resources" && exec "$build/src/marvok") >"$out/client.log" 2>&1 &
client=$!
"$build/servers/demo/marvok-demo" --pause 15 --record "$out/demo-heard.wav" >"$out/demo.log" 2>&1 &
demo=$!
printf '%s\n' "client=$client" "relay=$relay" "web=$web" "demo=$demo" >"$out/pids"
echo "Soaking for $minutes minutes: client $client, relay $relay, web $web, demo $demo; samples in $out"

status=0
wait "$driver" || status=$?
cat "$out/driver.log"

# Speech both ways: seconds of sound in what each side recorded.
loud_seconds() {
  python3 - "$@" <<'EOF'
import array, sys, wave
if sys.argv[1].endswith(".wav"):
    with wave.open(sys.argv[1]) as w:
        rate, channels = w.getframerate(), w.getnchannels()
        samples = array.array("h", w.readframes(w.getnframes()))
else:
    rate, channels = 8000, 1
    samples = array.array("h", open(sys.argv[1], "rb").read())
loud = 0
for start in range(0, len(samples), rate * channels):
    second = samples[start:start + rate * channels]
    if second and (sum(s * s for s in second) / len(second)) ** 0.5 > 300:
        loud += 1
print(loud)
EOF
}
kill "$recorder" 2>/dev/null || true
kill -TERM "$demo" && wait "$demo" 2>/dev/null || true
demo=
heard_by_client=$(loud_seconds "$out/speaker.raw" 2>/dev/null || echo 0)
heard_by_demo=$(loud_seconds "$out/demo-heard.wav" 2>/dev/null || echo 0)
echo "the client's speaker played sound for $heard_by_client s; the demo member heard the client for $heard_by_demo s"
((heard_by_client > 0 && heard_by_demo > 0)) || { echo "speech did not go both ways"; status=1; }
echo "relay log: $(wc -l <"$out/relay.log") lines; web log: $(wc -l <"$out/web.log") lines"
exit "$status"
