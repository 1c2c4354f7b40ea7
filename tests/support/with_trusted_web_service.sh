#!/usr/bin/env bash
# Runs a test program against real services on loopback: marvok-web under a
# test authority, marvok-web under a second authority that is never trusted,
# marvok-web under a third authority whose certificate names another host,
# and the quiet ports of quiet_tls_ports.py. A Windows program (.exe) runs
# under Wine. The program is given each authority's file, which it trusts on
# its own; with --host-store a Windows program is given none for the test
# authority, which is put into the host's certificate store for the run
# instead (Wine's programs trust what the host trusts). The store is left
# again however the run ends, and an authority left by a run that was killed
# outright goes at the next run.
#
# Each Wine program reads the host's store when it starts verifying, whatever
# wineserver or prefix it runs in: the authority is in the store before the
# program starts and out of it once the program has ended, and no other
# program started meanwhile is harmed by it, the authority being good for
# localhost and 127.0.0.1 only.
# Usage: with_trusted_web_service.sh [--host-store] [--web MARVOK_WEB --certificates SCRIPT] PROGRAM [ARGUMENTS...]
# Without the options, MARVOK_WEB_EXECUTABLE and MARVOK_CERTIFICATE_SCRIPT name them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
web=${MARVOK_WEB_EXECUTABLE:-}
make_certificate=${MARVOK_CERTIFICATE_SCRIPT:-}
host_store=0
while [[ ${1:-} == --web || ${1:-} == --certificates || ${1:-} == --host-store ]]; do
  case $1 in
    --host-store) host_store=1; shift; continue ;;
    --web) web=$2 ;;
    *) make_certificate=$2 ;;
  esac
  shift 2
done
: "${web:?no marvok-web given}" "${make_certificate:?no certificate script given}"
windows=0
[[ ${1:?no program} == *.exe ]] && windows=1
((windows)) || host_store=0
# Listing the cases (as the build does to register them) needs no service.
for argument in "$@"; do
  if [[ $argument == --gtest_list_tests ]]; then
    [[ $windows == 0 ]] || exec "$here/under_wine.sh" "$@"
    exec "$@"
  fi
done
anchors=/usr/local/share/ca-certificates
anchor=$anchors/marvok-test-$$.crt
work=$(mktemp -d "/tmp/marvok-wine-web-$$-XXXXXX")
pids=()

refresh_store() { update-ca-certificates >/dev/null 2>&1; }

cleanup() {
  local status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [[ -e $anchor ]]; then
    rm -f "$anchor"
    refresh_store
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Authorities and folders of runs that died without their clean-up. The
# store is only swept where this run may write to it.
stale=0
run_ended() { [[ $1 != "$$" ]] && ! kill -0 "$1" 2>/dev/null; }
if [[ -w $anchors ]]; then
  for left in "$anchors"/marvok-test-*.crt; do
    [[ -e $left ]] || continue
    pid=${left##*-}
    pid=${pid%.crt}
    if run_ended "$pid"; then
      rm -f "$left"
      stale=1
    fi
  done
fi
for left in /tmp/marvok-wine-web-*-*; do
  [[ -d $left ]] || continue
  pid=${left#/tmp/marvok-wine-web-}
  pid=${pid%%-*}
  run_ended "$pid" && rm -rf "$left"
done
[[ $stale == 0 ]] || refresh_store

"$make_certificate" "$work/trusted"
"$make_certificate" "$work/untrusted"
"$make_certificate" "$work/misnamed" misnamed.example
if [[ $host_store == 1 ]]; then
  cp "$work/trusted/ca.pem" "$anchor"
  refresh_store
fi
[[ $stale == 0 ]] || echo "removed test authorities left by earlier runs" >&2

# Starts marvok-web under the certificate of FOLDER, with member 7, and prints its port.
serve() {
  local name=$1 database=$work/$1.sqlite
  "$web" member set 7 --database "$database" --machine 4096 --city Lyon >/dev/null
  "$web" serve --database "$database" --certificate "$work/$name/server.pem" \
    --key "$work/$name/server.key" --port 0 >"$work/$name.out" 2>"$work/$name.log" &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q serving "$work/$name.out" && break
    sleep 0.1
  done
  sed -n 's|.*https://127\.0\.0\.1:\([0-9]*\).*|\1|p' "$work/$name.out"
}
# Not in a command substitution: the server must stay a child of this shell.
serve trusted >"$work/trusted.port"
serve untrusted >"$work/untrusted.port"
serve misnamed >"$work/misnamed.port"
"$here/quiet_tls_ports.py" "$work/trusted/server.pem" "$work/trusted/server.key" >"$work/quiet.ports" &
pids+=($!)
for _ in $(seq 100); do
  [[ -s $work/quiet.ports ]] && break
  sleep 0.1
done
read -r silent refusing holding <"$work/quiet.ports" || true

MARVOK_TEST_WEB_PORT=$(<"$work/trusted.port")
MARVOK_TEST_UNTRUSTED_WEB_PORT=$(<"$work/untrusted.port")
MARVOK_TEST_MISNAMED_WEB_PORT=$(<"$work/misnamed.port")
[[ -n $MARVOK_TEST_WEB_PORT && -n $MARVOK_TEST_UNTRUSTED_WEB_PORT && -n $MARVOK_TEST_MISNAMED_WEB_PORT &&
  -n ${holding:-} ]] || {
  echo "the services did not start" >&2
  cat "$work"/*.log >&2
  exit 1
}
export MARVOK_TEST_WEB_PORT MARVOK_TEST_UNTRUSTED_WEB_PORT MARVOK_TEST_MISNAMED_WEB_PORT
export MARVOK_TEST_SILENT_PORT=$silent MARVOK_TEST_REFUSING_PORT=$refusing MARVOK_TEST_HOLDING_PORT=$holding
# Files as the program names them: under Wine, on drive Z:.
as_named() { ((windows)) && echo "Z:$1" || echo "$1"; }
MARVOK_TEST_UNTRUSTED_WEB_LOG=$(as_named "$work/untrusted.log")
MARVOK_TEST_MISNAMED_WEB_LOG=$(as_named "$work/misnamed.log")
MARVOK_TEST_MISNAMED_WEB_CA=$(as_named "$work/misnamed/ca.pem")
MARVOK_TEST_WEB_CA=$(as_named "$work/trusted/ca.pem")
# The system's store: nothing named by the program.
((host_store)) && MARVOK_TEST_WEB_CA=
export MARVOK_TEST_UNTRUSTED_WEB_LOG MARVOK_TEST_MISNAMED_WEB_LOG MARVOK_TEST_MISNAMED_WEB_CA MARVOK_TEST_WEB_CA
((windows)) && set -- "$here/under_wine.sh" "$@"
# In the background, so that a signal ends the run at once rather than when the program is done.
"$@" &
pids+=($!)
wait $!
