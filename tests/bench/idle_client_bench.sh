#!/usr/bin/env bash
# Prints the CPU an idle client takes: every timer running, connected to a
# relay, nobody talking. Time on CPU comes from the scheduler's own count
# (/proc/<pid>/task/*/schedstat), whole and thread by thread. Needs an X
# display and a sound server (see scripts/services.sh); binds the relay's
# fixed ports, so run it in a network namespace of its own
# (tests/support/in_private_network.sh).
# Give it tests/bench/idle_floor in place of marvok for the least that the
# same periodic work costs on this machine.
# Usage: idle_client_bench.sh <marvok> <marvok-relay> <resources folder> [seconds]
set -euo pipefail
client=$(realpath "$1") relay=$2 resources=$3 seconds=${4:-30}
runtime=$(mktemp -d)
chmod 700 "$runtime"
"$relay" --address 127.0.0.1 </dev/null >/dev/null 2>&1 &
relay_pid=$!
client_pid=
trap 'kill $relay_pid $client_pid 2>/dev/null; rm -rf "$runtime"' EXIT
sleep 0.3
(cd "$resources" && XDG_RUNTIME_DIR=$runtime exec "$client") >/dev/null 2>&1 &
client_pid=$!
sleep 5  # start-up done, panels drawn once

# One line per thread: id, name, nanoseconds on CPU, voluntary switches (wake-ups).
sample() {
  for task in /proc/$client_pid/task/*; do
    printf '%s %s %s %s\n' "${task##*/}" "$(tr ' ' _ <"$task/comm")" "$(cut -d' ' -f1 "$task/schedstat")" \
      "$(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status")"
  done | sort
}
sample >"$runtime/before"
sleep "$seconds"
sample >"$runtime/after"
rss=$(awk '/VmRSS/ {print $2}' "/proc/$client_pid/status")
join "$runtime/before" "$runtime/after" | awk -v s="$seconds" -v rss="$rss" -v name="${client##*/}" '
  { cpu = ($6 - $3) / (s * 1e7); wakes = ($7 - $4) / s; total += cpu; threads++
    printf "  thread %-16s %6.3f %% of one core, %5.1f wake-ups/s\n", $2, cpu, wakes }
  END { printf "%s: %.2f %% of one core idle over %d s, %d threads, RSS %.1f MB\n", name, total, s, threads, rss / 1024 }'
