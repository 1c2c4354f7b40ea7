#!/usr/bin/env bash
# The real client on the X display: the window shows centred and rounded, a
# second start is refused with exit code 1, a missing picture ends the client
# with exit code 0 once its box is closed, and SIGTERM closes it in order.
# Usage: client_process_test.sh <marvok executable> <resources folder>
set -uo pipefail
client=$1
resources=$2
[[ -n "${DISPLAY:-}" ]] && command -v xdotool >/dev/null && command -v import >/dev/null || {
  echo "needs an X display, xdotool and ImageMagick"; exit 77; }

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
pids=()
cleanup() { for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done; rm -rf "$work"; }
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

# Colour of one screen pixel as "r,g,b" (0-255).
pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- | sed -n '2s/^[^(]*(\([0-9,]*\)).*/\1/p'; }

wait_window() {  # wait_window <xdotool search arguments...>: prints the window id
  local deadline=$((SECONDS + 20)) id
  while ((SECONDS < deadline)); do
    id=$(xdotool search --onlyvisible "$@" 2>/dev/null | head -n 1)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

wait_exit() {  # wait_exit <pid>: sets $code to the exit code, or "running" after 20 s
  local deadline=$((SECONDS + 20))
  while kill -0 "$1" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.2; done
  if kill -0 "$1" 2>/dev/null; then code=running; return; fi
  wait "$1"; code=$?
}

answer_box() {  # answer_box <window id>: presses Return in the box, as OK
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.3
  xdotool key Return
}

cp -r "$resources" "$work/full"
cp -r "$resources" "$work/no-param"
rm "$work/no-param/btn-param.bmp"

echo "== first client shows its window"
(cd "$work/full" && exec "$client") & first=$!; pids+=($first)
window=$(wait_window --name '^MARVOK$') || fail "no MARVOK window"
xprop -id "$window" WM_CLASS | grep -q '"marvok"' || fail "window class is not marvok"
sleep 1
geometry=$(xdotool getwindowgeometry "$window")
echo "$geometry"
grep -q "Position: 685,175" <<<"$geometry" || fail "window not centred at 685,175"
grep -q "Geometry: 550x730" <<<"$geometry" || fail "window not 550x730"
[[ $(pixel 686 540) == "255,255,0" ]] || fail "no yellow frame on the left edge: $(pixel 686 540)"
[[ $(pixel 1210 200) == "255,0,0" ]] || fail "no red close cross: $(pixel 1210 200)"
[[ $(pixel 685 175) == "255,255,255" ]] || fail "top-left corner not cut by the rounded region: $(pixel 685 175)"
[[ $(pixel 960 600) == "0,0,0" ]] || fail "background not black: $(pixel 960 600)"

echo "== second client is refused with exit code 1"
(cd "$work/full" && exec "$client") & second=$!; pids+=($second)
box=$(wait_window --name '^Marvok System$') || fail "no instance box"
answer_box "$box"
wait_exit "$second"
[[ $code == 1 ]] || fail "second client ended with $code"
kill -0 "$first" 2>/dev/null || fail "first client did not survive the second start"

echo "== SIGTERM closes the first client with exit code 0"
kill -TERM "$first"
wait_exit "$first"
[[ $code == 0 ]] || fail "first client ended with $code"

echo "== a missing button picture ends the client after its box"
(cd "$work/no-param" && exec "$client") & third=$!; pids+=($third)
box=$(wait_window --name 'REF') || fail "no missing-file box"
answer_box "$box"
wait_exit "$third"
[[ $code == 0 ]] || fail "client without btn-param.bmp ended with $code"

echo "PASS"
