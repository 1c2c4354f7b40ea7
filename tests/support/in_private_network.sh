#!/usr/bin/env bash
# Runs a command in a network namespace of its own whose loopback is up, so
# tests can bind the relay's fixed ports without clashing with each other or
# with a relay running on this machine. The X display and the sound server
# are reached through Unix sockets and stay reachable.
#
# MARVOK_LOOPBACK_RECEIVE_CPUS=MASK (hexadecimal, one bit a processor) hands
# loopback's receive work to those processors. Loopback otherwise delivers a
# datagram on its sender's processor, so a server under benchmark would also
# pay for what its receivers' network cards would do.
set -euo pipefail
if [[ -n ${MARVOK_LOOPBACK_RECEIVE_CPUS:-} ]]; then
  exec unshare --net --mount sh -c 'ip link set lo up && mount -t sysfs sysfs /sys &&
    echo "$MARVOK_LOOPBACK_RECEIVE_CPUS" >/sys/class/net/lo/queues/rx-0/rps_cpus && exec "$@"' sh "$@"
fi
exec unshare --net sh -c 'ip link set lo up && exec "$@"' sh "$@"
