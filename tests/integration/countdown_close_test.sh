#!/usr/bin/env bash
# A client nobody touches is closed by its inactivity supervisor: the test
# build counts 3 seconds instead of 4500, then shows the supervisor's notice,
# which closes itself after 10 seconds and takes the client with it.
# Usage: countdown_close_test.sh <short-count marvok executable> <resources folder>
set -uo pipefail
client=$1
resources=$2
[[ -n "${DISPLAY:-}" ]] && command -v xdotool >/dev/null || { echo "needs an X display and xdotool"; exit 77; }

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
pid=
cleanup() { [[ -n "$pid" ]] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

seen() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
wait_until() {  # wait_until <seconds> <command...>
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do ((SECONDS < deadline)) || return 1; sleep 0.2; done
}

cd "$resources"
"$client" & pid=$!
start=$SECONDS
wait_until 20 seen '^MARVOK$' || fail "no MARVOK window"
wait_until 20 seen '^Info du Superviseur$' || fail "no notice from the supervisor"
echo "notice shown after $((SECONDS - start)) s"
sleep 2
kill -0 "$pid" 2>/dev/null || fail "the client closed before its notice did"
wait_until 20 bash -c "! kill -0 $pid 2>/dev/null" || fail "the client still runs after the notice"
wait "$pid"; code=$?
pid=
[[ $code == 0 ]] || fail "the client ended with $code"
echo "closed after $((SECONDS - start)) s: PASS"
