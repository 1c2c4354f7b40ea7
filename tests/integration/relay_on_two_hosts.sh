#!/usr/bin/env bash
# The voice network spread over two relay hosts behind one public address, as
# an operator sets it up, in network namespaces made here:
#
#   members m1-m5 10.77.1.11-15 --- gw: 10.77.1.1, public 198.51.100.10 (nftables
#                                       DNAT from gateway-rules, marvok-web on :8443)
#                                   gw: 10.77.0.1 --- hosta 10.77.0.2 relay, channels 0-5
#                                                 --- hostb 10.77.0.3 relay, channels 6-10
#                                                 --- db    10.77.0.4 PostgreSQL
#
# Members are marvok-demo processes speaking tones and recording what they
# hear, and relay_member.py where the demo shows nothing (lists, notices).
# With a relay that has --shared-state, both hosts share the database and a
# host answers lists to addresses whose members are on the other host.
# Usage (as root): relay_on_two_hosts.sh MARVOK_RELAY MARVOK_WEB MARVOK_DEMO SOURCE_FOLDER
set -uo pipefail
if [[ -z ${MARVOK_TWO_HOSTS_INSIDE:-} ]]; then
  [[ $(id -u) == 0 ]] || { echo "needs root for network namespaces and nftables"; exit 77; }
  # Namespace names, the hosts file and the files made here are this run's
  # own, and go with it even if it is killed.
  MARVOK_TWO_HOSTS_INSIDE=1 exec unshare --mount --net --propagation private "$0" "$@"
fi
relay=$1 web=$2 demo=$3 source=$4
here=$(cd "$(dirname "$0")" && pwd)
# Set to 1 or 0 to force; by default on when this relay has --shared-state.
shared_state=${MARVOK_TEST_SHARED_STATE:-auto}
[[ $shared_state != auto ]] || { "$relay" --help | grep -q -- --shared-state && shared_state=1 || shared_state=0; }

work=$(mktemp -d /tmp/marvok-two-hosts-XXXXXX)
mount -t tmpfs -o mode=755 marvok-two-hosts "$work"  # PostgreSQL runs as nobody
public=198.51.100.10
declare -A pid=()
namespaces=()
passed=0 failed=0

cleanup() {
  local status=$? name
  for name in "${!pid[@]}"; do kill -TERM "${pid[$name]}" 2>/dev/null; done
  for name in "${!pid[@]}"; do wait "${pid[$name]}" 2>/dev/null; done
  ip netns exec db "$source/scripts/test-postgres.sh" remove "$work/postgres" >/dev/null 2>&1
  for name in "${namespaces[@]}"; do ip netns del "$name"; done
  ((status == 0)) || for name in "$work"/*.log "$work"/postgres/postgres.log; do
    [[ -s $name ]] && { echo "--- end of $name"; tail -n 15 "$name"; }
  done
  umount -l /etc/hosts 2>/dev/null
  umount -l "$work" && rmdir "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

pass() { echo "ok: $1"; ((++passed)); }
fail() { # WHAT [DETAILS...]
  echo "FAILED: $1"
  (($# < 2)) || printf '%s\n' "${@:2}" | sed 's/^/    /'
  ((++failed))
}
check() { # DESCRIPTION COMMAND... ; the command's output explains a failure
  local output
  if output=$("${@:2}" 2>&1); then pass "$1"; else fail "$1" "$output"; fi
}
same() { # DESCRIPTION GOT WANTED
  if [[ $2 == "$3" ]]; then pass "$1"; else fail "$1" "got:  '$2'" "want: '$3'"; fi
}
wait_until() { # SECONDS COMMAND... ; prints the last try's output when time is up
  local deadline=$((SECONDS + $1)) output
  until output=$("${@:2}" 2>&1); do ((SECONDS < deadline)) || { echo "$output"; return 1; }; sleep 0.1; done
}
# Runs NAME in namespace NS in the background, output in $work/NAME.out and .log;
# it ends with this shell, however that ends.
start() { # NAME NS COMMAND...
  ip netns exec "$2" setpriv --pdeathsig TERM -- "${@:3}" </dev/null >"$work/$1.out" 2>"$work/$1.log" &
  pid[$1]=$!
}
stop() { # NAME: TERM, then its exit code
  local code=0
  kill -TERM "${pid[$1]}" 2>/dev/null
  wait "${pid[$1]}" || code=$?
  unset "pid[$1]"
  return "$code"
}

# ---- the network --------------------------------------------------------------
mkdir -p /run/netns && mount -t tmpfs marvok-netns /run/netns
{ cat /etc/hosts; echo "$public web.marvok.test"; } >"$work/hosts"
mount --bind "$work/hosts" /etc/hosts
machine() { # NS BRIDGE ADDRESS GATEWAY
  ip netns add "$1" && namespaces+=("$1")
  ip -n "$1" link set lo up
  ip -n gw link add "v-$1" type veth peer name eth0 netns "$1"
  ip -n gw link set "v-$1" master "$2" up
  ip -n "$1" addr add "$3/24" dev eth0
  ip -n "$1" link set eth0 up
  ip -n "$1" route add default via "$4"
}
set -e
ip netns add gw && namespaces+=(gw)
ip -n gw link set lo up
for bridge in hosts members; do ip -n gw link add "$bridge" type bridge && ip -n gw link set "$bridge" up; done
ip -n gw addr add 10.77.0.1/24 dev hosts
ip -n gw addr add 10.77.1.1/24 dev members
ip -n gw addr add "$public/32" dev members
ip netns exec gw sysctl -qw net.ipv4.ip_forward=1
machine hosta hosts 10.77.0.2 10.77.0.1
machine hostb hosts 10.77.0.3 10.77.0.1
machine db hosts 10.77.0.4 10.77.0.1
for n in 1 2 3 4 5; do machine "m$n" members "10.77.1.1$n" 10.77.1.1; done
"$relay" gateway-rules --public-address "$public" --host 10.77.0.2=0-5 --host 10.77.0.3=6-10 >"$work/gateway.nft"
ip netns exec gw nft -f "$work/gateway.nft"

url=$(ip netns exec db env MARVOK_POSTGRES_ADDRESS=10.77.0.4 MARVOK_POSTGRES_OWNER=$$ \
  "$source/scripts/test-postgres.sh" start "$work/postgres" 5432 | tail -n 1)
relay_options=()
if ((shared_state)); then
  relay_options=(--shared-state "$url")
  echo "shared state: $url"
else
  echo "shared state: off ($relay has no --shared-state): the checks of lists across hosts are left out"
fi

"$source/scripts/make-web-certificate.sh" "$work/certificates" web.marvok.test
for n in 11 12 13 14; do
  "$web" member set "$n" --database "$work/members.sqlite" --machine "70000000000000$n" --name "Membre $n" >/dev/null
done
start web gw "$web" serve --database "$work/members.sqlite" --certificate "$work/certificates/server.pem" \
  --key "$work/certificates/server.key" --address "$public" --port 8443
set +e

command_to() { "$relay" command --control-socket "$work/$1.sock" "${@:2}"; }
start_host() { # a|b
  local ns=host$1 address=10.77.0.2 channels=0-5
  [[ $1 == a ]] || { address=10.77.0.3 channels=6-10; }
  start "relay-$1" "$ns" "$relay" --address "$address" --channels "$channels" \
    --control-socket "$work/$1.sock" "${relay_options[@]}"
  wait_until 10 command_to "$1" list >/dev/null
}
database() { ip netns exec "$1" psql -qtA "$url" -c 'select 1'; }
check "host A reaches PostgreSQL at $url" database hosta
check "host B reaches PostgreSQL" database hostb
start_host a || fail "relay host A did not start"
start_host b || fail "relay host B did not start"
wait_until 10 grep -q serving "$work/web.out" || fail "marvok-web did not serve"
((failed == 0)) || exit 1

# ---- helpers on members -----------------------------------------------------------
sox -n -r 8000 -c 1 -b 16 "$work/silence.wav" trim 0 0.1
for f in 500 1100; do sox -n -r 8000 -c 1 -b 16 "$work/tone-$f.wav" synth 1 sine "$f" vol 0.5; done

demo() { # NAME NS MEMBER CHANNEL OPTIONS...
  start "$1" "$2" "$demo" --relay "$public" --web-host web.marvok.test --web-port 8443 \
    --ca-file "$work/certificates/ca.pem" --machine "70000000000000$3" --channel "$4" "${@:5}"
}
joined() { grep -q "^marvok-demo: member $2 .* on channel $3 via relay $public" "$work/$1.out"; }
spoke() { grep -q "^marvok-demo: speaking" "$work/$1.out"; }
listed() { # HOST MEMBER CHANNEL [COUNT]: the host's operator sees the member there (MEMBER may be a|b)
  local list
  list=$(command_to "$1" list) || { echo "host $1 does not answer: $list"; return 1; }
  [[ $(grep -Ec "^member ($2) channel $3 " <<<"$list") == "${4:-1}" ]] || { echo "host $1 lists:"; echo "$list"; return 1; }
}
unlisted() { ! listed "$@" >/dev/null || { echo "host $1 still lists member $2 in channel $3"; return 1; }; }
# The recording holds speech at the tone's frequency.
heard() { # FILE FREQUENCY
  local stats length rms frequency
  stats=$(sox "$1" -n remix 1 stat 2>&1)
  length=$(awk '/^Length/ {print $3}' <<<"$stats")
  rms=$(awk '/^RMS +amplitude/ {print $3}' <<<"$stats")
  frequency=$(awk '/^Rough +frequency/ {print $3}' <<<"$stats")
  awk -v l="${length:-0}" -v r="${rms:-0}" -v f="${frequency:-0}" -v want="$2" \
    'BEGIN { exit !(l >= 0.5 && r >= 0.1 && f > 0.9 * want && f < 1.1 * want) }' ||
    { echo "want at least 0.5 s of $2 Hz; sox says:"; echo "$stats"; return 1; }
}
# Members FIRST and SECOND of namespaces NS1 and NS2 meet in CHANNEL of HOST,
# speak a tone each (500 and 1100 Hz) and must each hear the other's.
converse() { # LABEL CHANNEL HOST NS1 FIRST NS2 SECOND
  local label=$1 channel=$2 host=$3 first=$5 second=$7
  demo "$label-1" "$4" "$first" "$channel" --sound "$work/tone-500.wav" --record "$work/$label-1.wav"
  demo "$label-2" "$6" "$second" "$channel" --sound "$work/tone-1100.wav" --record "$work/$label-2.wav"
  if ! wait_until 20 spoke "$label-1" || ! wait_until 20 spoke "$label-2"; then
    fail "$label: the members did not both join and speak" "$(cat "$work/$label"-[12].{out,log})"
  fi
  check "$label: host ${host^^} lists members $first and $second in channel $channel" \
    wait_until 5 listed "$host" "$first|$second" "$channel" 2
  sleep 1.5  # the later tone's second, and its way through the relay
  stop "$label-1" || fail "$label: member $first's demo ended with $?" "$(cat "$work/$label-1.log")"
  stop "$label-2" || fail "$label: member $second's demo ended with $?" "$(cat "$work/$label-2.log")"
  check "$label: member $first hears member $second's tone" heard "$work/$label-1.wav" 1100
  check "$label: member $second hears member $first's tone" heard "$work/$label-2.wav" 500
}

# ---- 1. each host lists its own channels' members ------------------------------------
# Residents: present all along, saying nothing but a moment of silence.
demo resident-0 m1 11 0 --sound "$work/silence.wav" --pause 86400
demo resident-8 m3 13 8 --sound "$work/silence.wav" --pause 86400
wait_until 15 joined resident-0 11 0 || fail "member 11 did not join channel 0" "$(cat "$work/resident-0".{out,log})"
wait_until 15 joined resident-8 13 8 || fail "member 13 did not join channel 8" "$(cat "$work/resident-8".{out,log})"
check "host A lists member 11 in channel 0" wait_until 5 listed a 11 0
check "host B lists member 13 in channel 8" wait_until 5 listed b 13 8
check "host B does not list member 11" unlisted b 11 0
check "host A does not list member 13" unlisted a 13 8
# Destination NAT only: the hosts see the members' own addresses.
own_address() { command_to b list | grep -q "^member 13 channel 8 .* voice 10\.77\.1\.13:" || { command_to b list; return 1; }; }
check "host B sees member 13 at its own address" own_address

# ---- 2. a member moves from host A's channel 0 to host B's channel 8 -------------------
# The demo cannot move: it leaves channel 0 and joins channel 8 afresh.
converse "channel 0" 0 a m2 12 m4 14
check "host A forgets member 12 once it left" wait_until 5 unlisted a 12 0
converse "channel 8" 8 b m2 12 m4 14

# A client's move: host A forgets it, host B's operator can close it.
start client m5 python3 "$here/relay_member.py" member "$public" 15 0 8
check "host A lists client member 15 in channel 0" wait_until 5 listed a 15 0
kill -USR1 "${pid[client]}"
check "host B lists member 15 in channel 8 after its move" wait_until 5 listed b 15 8
check "host A forgets member 15 after its move" wait_until 5 unlisted a 15 0
same "host B's operator closes member 15" "$(command_to b "close 15")" \
  "notice 240 sent to 1 client(s) of member 15"
closed() { grep -q "^notice 240$" "$work/client.out"; }
check "member 15 receives host B's notice 240" wait_until 5 closed
stop client
check "host B forgets member 15 once it left" wait_until 5 unlisted b 15 8

# ---- 3. member lists across hosts --------------------------------------------------
# m3 has member 13 on host B; m1 only member 11 on host A.
lists() { ip netns exec "$1" python3 "$here/relay_member.py" lists "$public" "$2" "${@:3}"; }
same "host B answers channel 8's list to m3 (member 13 on B)" "$(lists m3 3 8)" "channel 8: 13"
if ((shared_state)); then
  same "host B answers channel 8's list to m1 (member 11 on A)" "$(lists m1 5 8)" "channel 8: 13"
  same "host A answers channel 0's list to m3 (member 13 on B)" "$(lists m3 5 0)" "channel 0: 11"
else
  same "host B answers no list to m1 (member 11 on A)" "$(lists m1 2 8)" ""
fi

# ---- 4. the database gone, members still hear each other ----------------------------
ip netns exec db "$source/scripts/test-postgres.sh" stop "$work/postgres"
converse "without PostgreSQL" 8 b m2 12 m4 14
check "host A still lists member 11 without PostgreSQL" listed a 11 0
check "host B still lists member 13 without PostgreSQL" listed b 13 8

# ---- 5. host B stopped: only its channels go; restarted, its members come back ----------
stop relay-b || fail "relay host B ended with $?" "$(tail -n 5 "$work/relay-b.log")"
converse "host B stopped" 0 a m2 12 m4 14
check "host A still lists member 11 with host B stopped" listed a 11 0
start_host b || fail "relay host B did not start again"
check "host B lists member 13 again after its restart" wait_until 10 listed b 13 8
converse "host B restarted" 8 b m2 12 m4 14

# Each ends cleanly, with nothing for the sanitizers to report.
for name in resident-0 resident-8 relay-a relay-b web; do
  stop "$name" || fail "$name ended with $?" "$(tail -n 20 "$work/$name.log")"
done
echo "$passed passed, $failed failed"
((failed == 0))
