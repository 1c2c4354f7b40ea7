# shellcheck shell=bash
# Sourced by the tests that run Windows programs under Wine against the Linux
# build's relay and web service, in a network namespace of their own where the
# relay's fixed ports and the web service's 8443 are free. Sources services.sh.
#   enter_private_network ARGUMENTS...  runs the calling script again inside a
#                                       namespace, once; exit code 77 where none can be made
#   use_wine_prefix FOLDER              MARVOK_WINE_PREFIX; its wineserver, which must run in
#                                       the namespace, is ended now and at exit, with the services
#   serve_network LINUX_BUILD CERTIFICATES
#                                       marvok-web on 127.0.0.1:8443 under CERTIFICATES/server.pem,
#                                       with the demo member's card, and marvok-relay on 127.0.0.1;
#                                       their logs are $MARVOK_SERVICE_DIR/web.log and relay.log
MARVOK_TEST_SUPPORT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$MARVOK_TEST_SUPPORT/../../scripts/services.sh"

enter_private_network() {
  [[ -z ${MARVOK_PRIVATE_NETWORK:-} ]] || return 0
  unshare --net true 2>/dev/null || { echo "cannot make a network namespace"; exit 77; }
  export MARVOK_PRIVATE_NETWORK=1
  exec "$MARVOK_TEST_SUPPORT/in_private_network.sh" "$0" "$@"
}

stop_wine() { WINEPREFIX=$MARVOK_WINE_PREFIX wineserver -k >/dev/null 2>&1 || true; }

use_wine_prefix() {
  export MARVOK_WINE_PREFIX=$1
  stop_wine
  trap 'stop_wine; stop_services' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

serve_network() {
  local linux=$1 certificates=$2 work=$MARVOK_SERVICE_DIR
  local web=$linux/servers/web/marvok-web
  "$web" member set 99 --database "$work/members.sqlite" --machine 7000000000000007 --name Camille \
    --first-name Camille --nickname "La démo" --city Lyon --phrase "Je parle toute seule." >/dev/null
  "$web" serve --database "$work/members.sqlite" --address 127.0.0.1 --port 8443 \
    --certificate "$certificates/server.pem" --key "$certificates/server.key" >"$work/web.log" 2>&1 &
  MARVOK_SERVICE_PIDS+=($!)
  "$linux/servers/relay/marvok-relay" --address 127.0.0.1 </dev/null >"$work/relay.log" 2>&1 &
  MARVOK_SERVICE_PIDS+=($!)
  # Ready once the web service listens and the relay's last control port (31010, 0x7922) is bound.
  wait_for 20 bash -c "grep -q ':20FB ' /proc/net/tcp && grep -q ':7922 ' /proc/net/udp" ||
    { echo "the services did not start" >&2; cat "$work"/*.log >&2; return 1; }
}
