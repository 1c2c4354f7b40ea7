#!/usr/bin/env bash
# Runs marvok_exe_scenarios.py in a network namespace of its own, where the
# relay's fixed ports and the web service's 8443 are free: a real marvok-relay
# and marvok-web on 127.0.0.1 (with the demo member's card), the web
# service's authority trusted in the host's store while it runs, and one Wine
# prefix for every start of the client.
# Usage: marvok_exe_on_wine.sh <marvok.exe> <marvok-short-countdown.exe> <Linux build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
if [[ -z ${MARVOK_PRIVATE_NETWORK:-} ]]; then
  export MARVOK_PRIVATE_NETWORK=1
  exec "$root/tests/support/in_private_network.sh" "$0" "$@"
fi
[[ -n ${DISPLAY:-} ]] && command -v xdotool >/dev/null || { echo "needs an X display and xdotool"; exit 77; }
client=$(realpath "$1") short=$(realpath "$2") linux=$(realpath "$3")

source "$root/scripts/services.sh"
# Wine makes its sockets in the wineserver: the prefix's own runs in this namespace.
export MARVOK_WINE_PREFIX=$(dirname "$client")/wine-prefix-marvok
stop_wine() { WINEPREFIX=$MARVOK_WINE_PREFIX wineserver -k >/dev/null 2>&1 || true; }
stop_wine
cleanup() {
  stop_wine
  stop_services
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

work=$MARVOK_SERVICE_DIR
"$root/scripts/make-web-certificate.sh" "$work/web" >/dev/null
trust_in_host_store "$work/web/ca.pem"
web=$linux/servers/web/marvok-web
"$web" member set 99 --database "$work/members.sqlite" --machine 7000000000000007 --name Camille \
  --first-name Camille --nickname "La démo" --city Lyon --phrase "Je parle toute seule." >/dev/null
"$web" serve --database "$work/members.sqlite" --address 127.0.0.1 --port 8443 \
  --certificate "$work/web/server.pem" --key "$work/web/server.key" >"$work/web.log" 2>&1 &
MARVOK_SERVICE_PIDS+=($!)
"$linux/servers/relay/marvok-relay" --address 127.0.0.1 </dev/null >"$work/relay.log" 2>&1 &
MARVOK_SERVICE_PIDS+=($!)
# Ready once the web service listens and the relay's last control port (31010, 0x7922) is bound.
wait_for 20 bash -c "grep -q ':20FB ' /proc/net/tcp && grep -q ':7922 ' /proc/net/udp" ||
  { echo "the services did not start" >&2; cat "$work"/*.log >&2; exit 1; }
# A fresh prefix is made once, before the first client starts.
"$root/tests/support/under_wine.sh" cmd /c exit >/dev/null 2>&1 || true
python3 "$here/marvok_exe_scenarios.py" "$client" "$short" "$linux" "$work"
