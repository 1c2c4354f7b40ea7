# Sourced by run.sh and test.sh: starts a virtual display and a PulseAudio
# server with null devices, each only when it is needed, and stops exactly
# what it started.
#   start_display        sets DISPLAY to a new 1920x1080 Xvfb unless one is given
#   start_sound_server   sets PULSE_SERVER to a private server with a "Speaker"
#                        sink (spk), a "MicFeed" sink (mic) and the default
#                        microphone "USB Headset Mic" made from mic's monitor
#   stop_sound_server    ends that server, as a crash or a restart does;
#                        start_sound_server starts it again at the same address
#   trust_in_host_store  trusts an authority's certificate FILE in the host's
#                        store, where Wine's programs look, until stop_services
#   stop_services        ends everything started here
#   serve_sound_server   for a test: answers each "start" line with the
#                        server's address once started, each "stop" with "stopped"

MARVOK_SERVICE_PIDS=()
MARVOK_SOUND_PIDS=()
MARVOK_TRUSTED_ANCHORS=()
MARVOK_SERVICE_DIR=$(mktemp -d /tmp/marvok-services.XXXXXX)
chmod 700 "$MARVOK_SERVICE_DIR"
if [[ -z "${XDG_RUNTIME_DIR:-}" || ! -d "${XDG_RUNTIME_DIR:-}" ]]; then
  export XDG_RUNTIME_DIR="$MARVOK_SERVICE_DIR/runtime"
  mkdir -m 700 -p "$XDG_RUNTIME_DIR"
fi

stop_services() {
  local pid
  stop_sound_server
  for pid in "${MARVOK_SERVICE_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${MARVOK_SERVICE_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  MARVOK_SERVICE_PIDS=()
  if ((${#MARVOK_TRUSTED_ANCHORS[@]})); then
    rm -f "${MARVOK_TRUSTED_ANCHORS[@]}"
    MARVOK_TRUSTED_ANCHORS=()
    update-ca-certificates >/dev/null 2>&1 || true
  fi
  rm -rf "$MARVOK_SERVICE_DIR"
}

# Authorities trusted by a run that was killed outright go at the next run.
trust_in_host_store() {  # trust_in_host_store <certificate file>
  local anchors=/usr/local/share/ca-certificates left pid
  [[ -w $anchors ]] || { echo "cannot trust $1 in the host's store: $anchors is not writable" >&2; return 1; }
  for left in "$anchors"/marvok-run-*.crt; do
    [[ -e $left ]] || continue
    pid=${left##*-}
    pid=${pid%.crt}
    kill -0 "$pid" 2>/dev/null || rm -f "$left"
  done
  cp "$1" "$anchors/marvok-run-$$.crt"
  MARVOK_TRUSTED_ANCHORS+=("$anchors/marvok-run-$$.crt")
  update-ca-certificates >/dev/null 2>&1
}

wait_for() {  # wait_for <seconds> <command...>
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

start_display() {
  local n=99
  while [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1920x1080x24 -wr -nolisten tcp >"$MARVOK_SERVICE_DIR/xvfb.log" 2>&1 &
  MARVOK_SERVICE_PIDS+=($!)
  export DISPLAY=":$n"
  wait_for 20 xdotool getdisplaygeometry || { echo "Xvfb did not start" >&2; cat "$MARVOK_SERVICE_DIR/xvfb.log" >&2; return 1; }
}

start_sound_server() {
  local dir="$MARVOK_SERVICE_DIR/pulse"
  mkdir -p "$dir/state"
  export PULSE_RUNTIME_PATH="$dir" PULSE_STATE_PATH="$dir/state" PULSE_SERVER="unix:$dir/native"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
    -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
    -L "module-null-sink sink_name=spk sink_properties=device.description=Speaker" \
    -L "module-null-sink sink_name=mic sink_properties=device.description=MicFeed" \
    </dev/null >>"$dir/pulseaudio.log" 2>&1 &
  MARVOK_SOUND_PIDS+=($!)
  wait_for 20 pactl info || { echo "PulseAudio did not start" >&2; cat "$dir/pulseaudio.log" >&2; return 1; }
  pactl load-module module-remap-source master=mic.monitor source_name=headsetmic \
    "source_properties='device.description=\"USB Headset Mic\" device.icon_name=audio-headset'" >/dev/null
  pactl set-default-sink spk
  pactl set-default-source headsetmic
  # An idle null sink stalls its first client for a second or two: keep both busy.
  local sink
  for sink in spk mic; do
    pacat --playback -d "$sink" --latency-msec=20 --rate=8000 --channels=2 --format=s16le /dev/zero &
    MARVOK_SOUND_PIDS+=($!)
  done
  sleep 2
}

stop_sound_server() {
  local pid
  for pid in "${MARVOK_SOUND_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${MARVOK_SOUND_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  MARVOK_SOUND_PIDS=()
}

serve_sound_server() {
  trap stop_services EXIT
  local command
  while read -r command; do
    case $command in
      start) start_sound_server >&2 && echo "$PULSE_SERVER" || echo failed ;;
      stop) stop_sound_server && echo stopped ;;
    esac
  done
}
