#!/usr/bin/env bash
# Runs a test program in a network namespace of its own, where the relay's
# fixed ports are free, beside a real marvok-relay on 127.0.0.1 when one is
# named (--relay, or else MARVOK_RELAY_EXECUTABLE). A Windows program (.exe) runs under
# Wine: Wine makes its sockets in the wineserver, so the wineserver of a
# prefix of the program's own is started inside the namespace (one left over
# from elsewhere would hold the host's network).
# Usage: private_network_with_relay.sh [--relay MARVOK_RELAY] PROGRAM [ARGUMENTS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [[ -z ${MARVOK_PRIVATE_NETWORK:-} ]]; then
  export MARVOK_PRIVATE_NETWORK=1
  exec "$here/in_private_network.sh" "$0" "$@"
fi

relay=${MARVOK_RELAY_EXECUTABLE:-}
if [[ ${1:-} == --relay ]]; then
  relay=$2
  shift 2
fi
program=$1
wine=""
if [[ $program == *.exe ]]; then
  wine=1
  name=$(basename "$program" .exe)
  export MARVOK_WINE_PREFIX=${MARVOK_WINE_PREFIX:-$(cd "$(dirname "$program")" && pwd)/wine-prefix-$name}
  WINEPREFIX=$MARVOK_WINE_PREFIX wineserver -k >/dev/null 2>&1 || true
  set -- "$here/under_wine.sh" "$@"
fi

relay_pid=""
cleanup() {
  # The namespace's wineserver would keep its sockets, and the prefix, busy.
  [[ -z $wine ]] || WINEPREFIX=$MARVOK_WINE_PREFIX wineserver -k >/dev/null 2>&1 || true
  if [[ -n $relay_pid ]]; then
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
if [[ -n $relay ]]; then
  "$relay" --address 127.0.0.1 </dev/null &
  relay_pid=$!
  # Ready once the last channel's control port (31010, 0x7922) is bound.
  ready=0
  for _ in $(seq 100); do
    grep -q ':7922 ' /proc/net/udp && { ready=1; break; }
    kill -0 "$relay_pid" 2>/dev/null || break
    sleep 0.05
  done
  [[ $ready == 1 ]] || { echo "marvok-relay did not start" >&2; exit 1; }
fi

"$@"
