#!/usr/bin/env bash
# Runs a command in a network namespace of its own whose loopback is up, so
# tests can bind the relay's fixed ports without clashing with each other or
# with a relay running on this machine. The X display and the sound server
# are reached through Unix sockets and stay reachable.
set -euo pipefail
exec unshare --net sh -c 'ip link set lo up && exec "$@"' sh "$@"
