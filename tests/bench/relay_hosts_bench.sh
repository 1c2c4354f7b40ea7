#!/usr/bin/env bash
# The relay on several hosts behind a gateway, as servers/relay/README.md
# ("Several hosts") lays it out, in network namespaces of this machine: a
# members' namespace, a gateway namespace loading the rules of
# `marvok-relay gateway-rules`, and two relay host namespaces routed through
# it. relay_forwarding_bench --relay-address plays the members; each setup
# runs real marvok-relay processes:
#   two-hosts  channels 0-5 on host A, 6-10 on host B, through the gateway's NAT
#   one-host   all channels on host A, through the same NAT
#   routed     all channels on host A, reached at its own address through the
#              gateway with no rules loaded: forwarding without conntrack or NAT
#   direct     all channels on host A, over a link of its own to the members
# For each run it prints the bench's figures (forwarding delay, loss), then
# over a window inside the bench's measuring period (its warm-up is 1.5 s):
# - the datagrams the relay hosts took in and sent (each crossed the gateway
#   once, but in the direct setup), and what the gateway forwarded;
# - the CPU time of the members' and relays' threads and of ksoftirqd, from
#   their schedstat (nanoseconds). This kernel counts the softirq work a
#   thread triggers (veth hops, the gateway's forwarding, conntrack and NAT,
#   delivery to the receiving socket) in that thread, since the softirq runs
#   when the sending thread re-enables bottom halves;
# - the whole machine's busy time (user, system, irq and softirq in
#   /proc/stat), less what it was busy with in the second before the relays
#   started, per datagram. Other work that changes meanwhile counts as the
#   run's, so it is left out where other work took over 5% of the machine
#   before the run, the machine had under 10% idle in the window, or the
#   virtual machine's host took over 5% of its processors (steal).
# The summary gives the spread over the runs, and what a datagram costs more
# than in the direct setup: for one-host, the gateway's whole hop (a veth, IP
# forwarding, conntrack, destination NAT); for routed, the hop without
# conntrack and NAT.
# The members' and relays' own work and other work on the machine blur those
# differences, so the gateway's path is then timed alone: one thread sends
# --blast datagrams of 1024 bytes as fast as it can to a socket on host A that
# reads nothing, through the gateway and over the direct link in turns, a
# slice at a time. Its CPU time (with ksoftirqd's) covers the send, every hop
# and the drop at the full socket, so the two differ by the gateway's work.
# Every namespace and process it made is removed when it ends.
# Needs root, ip, nft, taskset and python3; exits with 77 without them.
# Relays run on --relay-cpu (0), members and the sender on --clients-cpu (1).
# Usage: relay_hosts_bench.sh MARVOK_RELAY RELAY_FORWARDING_BENCH [--seconds 10] [--members 200]
#          [--talkers-per-channel 1] [--repeat 3] [--relay-cpu 0] [--clients-cpu 1]
#          [--setups 'two-hosts one-host routed direct'] [--blast 300000]
set -euo pipefail
export LC_ALL=C

relay=$(realpath "${1:?usage: relay_hosts_bench.sh MARVOK_RELAY RELAY_FORWARDING_BENCH [options]}")
bench=$(realpath "${2:?usage: relay_hosts_bench.sh MARVOK_RELAY RELAY_FORWARDING_BENCH [options]}")
shift 2
seconds=10 members=200 talkers=1 repeat=3 relay_cpu=0 clients_cpu=1 blast=300000
setups="two-hosts one-host routed direct"
while (($# > 0)); do
  case $1 in
    --seconds) seconds=$2 ;;
    --members) members=$2 ;;
    --talkers-per-channel) talkers=$2 ;;
    --repeat) repeat=$2 ;;
    --relay-cpu) relay_cpu=$2 ;;
    --clients-cpu) clients_cpu=$2 ;;
    --setups) setups=$2 ;;
    --blast) blast=$2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done

if ((EUID != 0)); then echo "relay_hosts_bench.sh needs root (network namespaces)" >&2; exit 77; fi
for tool in ip nft taskset python3; do
  command -v "$tool" >/dev/null || { echo "relay_hosts_bench.sh needs $tool" >&2; exit 77; }
done

public=198.51.100.7 member_address=198.51.100.20
host_a=10.77.2.2 host_b=10.77.3.2 host_a_direct=10.77.9.1
prefix=mvhb-$$
gw=$prefix-gw ns_a=$prefix-a ns_b=$prefix-b ns_m=$prefix-m
work=$(mktemp -d)
relay_pids=() holder_pid="" bench_pid=""

# Namespaces a run killed outright left behind: their processes are a relay
# bench's own, started in them.
remove_namespace() {
  local pid
  for pid in $(ip netns pids "$1" 2>/dev/null); do kill "$pid" 2>/dev/null || true; done
  ip netns del "$1" 2>/dev/null || true
}
for name in $(ip netns list | awk '$1 ~ /^mvhb-[0-9]+-/ {print $1}'); do
  owner=${name#mvhb-}
  owner=${owner%%-*}
  kill -0 "$owner" 2>/dev/null || remove_namespace "$name"
done

stop_processes() {
  local pid
  for pid in "${relay_pids[@]}" $holder_pid $bench_pid; do kill "$pid" 2>/dev/null || true; done
  for pid in "${relay_pids[@]}" $holder_pid $bench_pid; do wait "$pid" 2>/dev/null || true; done
  relay_pids=() holder_pid="" bench_pid=""
}
teardown() {
  stop_processes
  local name
  for name in "$gw" "$ns_a" "$ns_b" "$ns_m"; do remove_namespace "$name"; done
}
trap 'teardown; rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A fresh network for every run, so no conntrack entry outlives its setup.
setup_network() {
  local name
  for name in "$gw" "$ns_a" "$ns_b" "$ns_m"; do
    ip netns add "$name"
    ip -n "$name" link set lo up
  done
  ip -n "$ns_m" link add m-gw type veth peer name gw-m netns "$gw"
  ip -n "$ns_a" link add a-gw type veth peer name gw-a netns "$gw"
  ip -n "$ns_b" link add b-gw type veth peer name gw-b netns "$gw"
  ip -n "$ns_m" link add m-a type veth peer name a-m netns "$ns_a"
  ip -n "$gw" addr add "$public/24" dev gw-m
  ip -n "$gw" addr add 10.77.2.1/24 dev gw-a
  ip -n "$gw" addr add 10.77.3.1/24 dev gw-b
  ip -n "$ns_m" addr add "$member_address/24" dev m-gw
  ip -n "$ns_m" addr add 10.77.9.2/24 dev m-a
  ip -n "$ns_a" addr add "$host_a/24" dev a-gw
  ip -n "$ns_a" addr add "$host_a_direct/24" dev a-m
  ip -n "$ns_b" addr add "$host_b/24" dev b-gw
  for name in "$gw:gw-m gw-a gw-b" "$ns_m:m-gw m-a" "$ns_a:a-gw a-m" "$ns_b:b-gw"; do
    for link in ${name#*:}; do ip -n "${name%%:*}" link set "$link" up; done
  done
  ip -n "$ns_a" route add default via 10.77.2.1
  ip -n "$ns_b" route add default via 10.77.3.1
  ip -n "$ns_m" route add 10.77.2.0/24 via "$public"
  ip -n "$ns_m" route add 10.77.3.0/24 via "$public"
  ip netns exec "$gw" sh -c 'echo 1 >/proc/sys/net/ipv4/ip_forward'
  # Reads the gateway's counters through /proc/PID/net.
  ip netns exec "$gw" sleep infinity &
  holder_pid=$!
}

load_rules() {
  "$relay" gateway-rules --public-address "$public" "$@" >"$work/gateway.nft"
  ip netns exec "$gw" nft -f "$work/gateway.nft"
}

# start_relay NAMESPACE ADDRESS [CHANNELS]: returns once the relay's last control port is bound.
start_relay() {
  local ns=$1 address=$2 channels=${3:-0-10} log pid port bound a b c d
  log=$work/relay-${#relay_pids[@]}.log
  ip netns exec "$ns" taskset -c "$relay_cpu" "$relay" --address "$address" --channels "$channels" --threads 1 \
    --max-clients-per-address "$members" </dev/null 2>"$log" &
  pid=$!
  relay_pids+=("$pid")
  port=$((31000 + ${channels##*[-,]}))
  # As /proc/net/udp writes it: the address's bytes in reverse, then the port.
  IFS=. read -r a b c d <<<"$address"
  printf -v bound '%02X%02X%02X%02X:%04X' "$d" "$c" "$b" "$a" "$port"
  for _ in $(seq 200); do
    grep -q " $bound " "/proc/$pid/net/udp" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "marvok-relay did not start in $ns at $address:" >&2
  cat "$log" >&2
  exit 1
}

ksoftirqd=()
for comm in /proc/[0-9]*/comm; do
  read -r name <"$comm" 2>/dev/null || continue
  [[ $name == ksoftirqd/* ]] || continue
  pid=${comm#/proc/}
  ksoftirqd+=("${pid%/comm}")
done
cpus=$(nproc)

# snmp_value PID PROTOCOL NAME: sets 'value' to that counter of the process's network namespace.
snmp_value() {
  local -a names=() values=() line
  value=0
  while read -r -a line; do
    [[ ${line[0]} == "$2:" ]] || continue
    if ((${#names[@]} == 0)); then names=("${line[@]}"); else values=("${line[@]}"); break; fi
  done <"/proc/$1/net/snmp"
  local i
  for i in "${!names[@]}"; do [[ ${names[i]} != "$3" ]] || value=${values[i]}; done
}

# Reads every counter into the associative array named $1; builtins only, so
# sampling adds no process to the window.
# shellcheck disable=SC2154  # the array's keys, not variables
sample() {
  local -n at=$1
  local user nice system irq softirq steal rest pid file ns
  read -r _ user nice system _ _ irq softirq steal rest </proc/stat
  at[time]=${EPOCHREALTIME/./}
  # Sampled at ticks. The idle time is measured, but in a virtual machine it
  # also holds time the host took, which steal counts again.
  at[busy]=$((user + nice + system + irq + softirq))
  # What the host of this virtual machine ran instead of it.
  at[steal]=$steal
  at[kernel]=$((system + irq + softirq))
  at[softirq]=$softirq
  at[members]=0 at[relays]=0 at[ksoftirqd]=0 at[datagrams]=0 at[forwarded]=0
  local group
  for group in "members:$bench_pid" "relays:${relay_pids[*]}" "ksoftirqd:${ksoftirqd[*]}"; do
    for pid in ${group#*:}; do
      for file in /proc/"$pid"/task/*/schedstat; do
        read -r ns rest <"$file" 2>/dev/null || continue
        at[${group%%:*}]=$((at[${group%%:*}] + ns))
      done
    done
  done
  for pid in "${relay_pids[@]}"; do
    snmp_value "$pid" Udp InDatagrams
    at[datagrams]=$((at[datagrams] + value))
    snmp_value "$pid" Udp OutDatagrams
    at[datagrams]=$((at[datagrams] + value))
  done
  snmp_value "$holder_pid" Ip ForwDatagrams
  at[forwarded]=$value
}

# The window: inside the bench's measuring period, a margin off each end.
read -r window_start window <<<"$(awk -v s="$seconds" 'BEGIN {
  m = s / 4 < 0.5 ? s / 4 : 0.5; printf "%.3f %.3f\n", 1.5 + m, s - 2 * m }')"

results=$work/results
run_setup() {
  local setup=$1 run=$2 target
  setup_network
  case $setup in
    two-hosts) load_rules --host "$host_a=0-5" --host "$host_b=6-10" ;;
    one-host | routed) [[ $setup == routed ]] || load_rules --host "$host_a=0-10" ;;
    direct) ;;
    *) echo "unknown setup $setup" >&2; exit 2 ;;
  esac
  declare -A idle_before idle_after before after
  sample idle_before
  sleep 1
  sample idle_after
  case $setup in
    two-hosts) start_relay "$ns_a" "$host_a" 0-5; start_relay "$ns_b" "$host_b" 6-10; target=$public ;;
    one-host) start_relay "$ns_a" "$host_a"; target=$public ;;
    routed) start_relay "$ns_a" "$host_a"; target=$host_a ;;
    direct) start_relay "$ns_a" "$host_a_direct"; target=$host_a_direct ;;
  esac
  ip netns exec "$ns_m" "$bench" --relay-address "$target" --seconds "$seconds" --members "$members" \
    --talkers-per-channel "$talkers" --clients-cpu "$clients_cpu" >"$work/bench.out" &
  bench_pid=$!
  sleep "$window_start"
  sample before
  sleep "$window"
  sample after
  wait "$bench_pid" || { echo "relay_forwarding_bench failed in $setup" >&2; exit 1; }
  bench_pid=""
  echo "== $setup, run $run: $(sed -n 's/^relay forwarding: //p' "$work/bench.out")"
  sed 1d "$work/bench.out"
  # shellcheck disable=SC2154  # the arrays' keys, not variables
  awk -v setup="$setup" -v run="$run" -v cpus="$cpus" -v hz="$(getconf CLK_TCK)" \
    -v quiet_s="$((idle_after[time] - idle_before[time]))" -v quiet_busy="$((idle_after[busy] - idle_before[busy]))" \
    -v s="$((after[time] - before[time]))" -v busy="$((after[busy] - before[busy]))" \
    -v kernel="$((after[kernel] - before[kernel]))" -v softirq="$((after[softirq] - before[softirq]))" \
    -v members="$((after[members] - before[members]))" -v relays="$((after[relays] - before[relays]))" \
    -v ksoftirqd="$((after[ksoftirqd] - before[ksoftirqd]))" -v datagrams="$((after[datagrams] - before[datagrams]))" \
    -v forwarded="$((after[forwarded] - before[forwarded]))" -v steal="$((after[steal] - before[steal]))" \
    -v results="$results" '
    /forwarding delay:/ { p99 = $7 }
    /forwarded:/ { speech = $2 }
    /^  lost:/ { lost = $2; expected = $4 }
    END {
      s /= 1e6; quiet_s /= 1e6
      # CPU-seconds a second: other work before the run, everything in the window.
      background = quiet_busy / hz / quiet_s
      busy /= hz
      machine = busy - background * s
      # Microseconds a datagram for each second spent.
      per = datagrams > 0 ? 1e6 / datagrams : 0
      printf "  window:               %.1f s: relay hosts %d datagrams in and out (%.0f/s), gateway forwarded %d;" \
        " the host took %.0f%% of the processors\n", s, datagrams, datagrams / s, forwarded,
        100 * steal / hz / (s * cpus)
      tasks = members + relays + ksoftirqd
      printf "  members, relays, ksoftirqd: %.3f CPU-s (%.3f, %.3f, %.3f), %.2f us a datagram\n", tasks / 1e9,
        members / 1e9, relays / 1e9, ksoftirqd / 1e9, tasks / 1e9 * per
      # Other work that changes during the window would count as this run.
      reason = background / cpus > 0.05 ? "other work before" : busy / (s * cpus) > 0.9 ? "under 10% idle" : \
        steal / hz / (s * cpus) > 0.05 ? "the host took over 5%" : ""
      printf "  machine busy:         %.2f CPU-s less %.2f of other work (%.0f%% of %d cores before):" \
        " %.2f us a datagram%s\n", busy, background * s, 100 * background / cpus, cpus, machine * per,
        reason == "" ? "" : ", left out: " reason
      printf "                        (%.2f CPU-s more than the tasks above)\n", machine - tasks / 1e9
      printf "                        (system and softirq %.2f us, softirq alone %.2f us, not corrected)\n",
        kernel / hz * per, softirq / hz * per
      if (speech == 0) exit 3
      printf "%s %s %d %d %d %.3f %s %.1f\n", setup, run, p99, lost, expected, tasks / 1e9 * per,
        reason == "" ? sprintf("%.3f", machine * per) : "-", 100 * background / cpus >> results
    }' "$work/bench.out" || { echo "no speech came back in $setup" >&2; exit 1; }
  teardown
}

# Sends COUNT datagrams to each address in turn, a slice at a time, so that
# other work on the machine weighs on every address alike; prints each
# address with the sending thread's and ksoftirqd's CPU nanoseconds a datagram.
# shellcheck disable=SC2016  # Python, not shell
blaster='
import os, socket, sys, time
count, addresses = int(sys.argv[1]), sys.argv[2:]
threads = os.environ["KSOFTIRQD"].split()
def ksoftirqd():
    total = 0
    for pid in threads:
        with open(f"/proc/{pid}/schedstat") as stat:
            total += int(stat.read().split()[0])
    return total
sockets = []
payload = bytes(1024)
for address in addresses:
    out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    out.connect((address, 30000))
    for _ in range(1000):  # the neighbour, the conntrack entry, the caches
        out.send(payload)
    sockets.append(out)
slices = 20
used = [0] * len(addresses)
for _ in range(slices):
    for i, out in enumerate(sockets):
        before, start = ksoftirqd(), time.thread_time_ns()
        for _ in range(count // slices):
            out.send(payload)
        used[i] += time.thread_time_ns() - start + ksoftirqd() - before
for address, spent in zip(addresses, used):
    print(address, spent / (count // slices * slices))
'
# A socket that never reads: its queue fills, and every datagram is dropped there.
sink='
import socket, time
sink = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sink.bind(("0.0.0.0", 30000))
time.sleep(3600)
'
blasts=$work/blasts
# blast_setup nat|routed RUN: that path to host A beside the direct link, in turns.
blast_setup() {
  local setup=$1 run=$2 target sink_pid before after address spent through="" direct=""
  setup_network
  if [[ $setup == nat ]]; then
    load_rules --host "$host_a=0-10"
    target=$public
  else
    target=$host_a
  fi
  ip netns exec "$ns_a" python3 -c "$sink" &
  sink_pid=$!
  relay_pids+=("$sink_pid")
  for _ in $(seq 200); do
    grep -q ' 00000000:7530 ' "/proc/$sink_pid/net/udp" 2>/dev/null && break
    sleep 0.05
  done
  snmp_value "$sink_pid" Udp InErrors
  before=$value
  while read -r address spent; do
    if [[ $address == "$host_a_direct" ]]; then direct=$spent; else through=$spent; fi
  done < <(KSOFTIRQD="${ksoftirqd[*]}" ip netns exec "$ns_m" taskset -c "$clients_cpu" \
    python3 -c "$blaster" "$blast" "$target" "$host_a_direct")
  snmp_value "$sink_pid" Udp InErrors
  after=$value
  echo "$setup $through $direct" >>"$blasts"
  awk -v setup="$setup" -v run="$run" -v path="$through" -v direct="$direct" -v dropped="$((after - before))" 'BEGIN {
    printf "== gateway path alone, %s beside direct, run %s: %.0f ns against %.0f ns a datagram, %.0f more;" \
      " %d dropped at the full socket\n", setup, run, path, direct, path - direct, dropped }'
  teardown
}

for ((run = 1; run <= repeat; ++run)); do
  for setup in $setups; do run_setup "$setup" "$run"; done
  if ((blast > 0)); then
    for setup in nat routed; do blast_setup "$setup" "$run"; done
  fi
done

echo
echo "== summary: $members members, $talkers talking a channel, ${seconds} s runs; mean (min-max) over $repeat run(s)"
# Fields: setup, run, p99 us, lost, expected, us a datagram of the tasks, of the machine ("-": left out), other work %.
awk '
  function add(s, f, v) {
    if (count[s, f]++ == 0 || v < lo[s, f]) lo[s, f] = v
    if (count[s, f] == 1 || v > hi[s, f]) hi[s, f] = v
    sum[s, f] += v
  }
  function mean(s, f) { return sum[s, f] / count[s, f] }
  function show(s, f, format) {
    if (!count[s, f]) return "n/a"
    return sprintf(format " (" format "-" format ")", mean(s, f), lo[s, f], hi[s, f]) (f == 7 ? " n=" count[s, f] : "")
  }
  !($1 in seen) { seen[$1] = 1; name[++setups] = $1 }
  { for (f = 3; f <= 8; ++f) if ($f != "-") add($1, f, $f + 0) }
  END {
    printf "%-10s %-20s %-18s %-24s %-26s %s\n", "setup", "p99 delay us", "lost of expected", "tasks us/datagram",
      "machine us/datagram", "other work %"
    for (i = 1; i <= setups; ++i) { s = name[i]
      printf "%-10s %-20s %-18s %-24s %-26s %s\n", s, show(s, 3, "%.0f"),
        sprintf("%.0f of %.0f", mean(s, 4), mean(s, 5)), show(s, 6, "%.2f"), show(s, 7, "%.2f"), show(s, 8, "%.0f") }
    if (!("direct" in seen)) exit
    for (i = 1; i <= setups; ++i) { s = name[i]; if (s == "direct") continue
      printf "%s costs more than direct a datagram: %.2f us (tasks: members, relays, ksoftirqd)", s,
        mean(s, 6) - mean("direct", 6)
      if (count[s, 7] && count["direct", 7]) printf ", %.2f us (machine)", mean(s, 7) - mean("direct", 7)
      printf "\n" }
  }' "$results"

[[ -f $blasts ]] || exit 0
awk '{ n[$1]++; d = $2 - $3; path[$1] += $2; direct[$1] += $3; more[$1] += d
    if (n[$1] == 1 || d < lo[$1]) lo[$1] = d
    if (n[$1] == 1 || d > hi[$1]) hi[$1] = d }
  END {
    printf "gateway path alone, sender CPU a datagram of 1024 bytes, mean over %d run(s):\n", n["nat"] + 0
    split("nat routed", order)
    for (i = 1; i <= 2; ++i) if ((s = order[i]) in n)
      printf "  %-7s %.0f ns, direct beside it %.0f ns: %.0f ns more (%.0f-%.0f)\n", s, path[s] / n[s],
        direct[s] / n[s], more[s] / n[s], lo[s], hi[s]
  }' "$blasts"
