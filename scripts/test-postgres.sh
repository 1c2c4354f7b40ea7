#!/usr/bin/env bash
# A PostgreSQL server of the tests' and benchmarks' own, in FOLDER, apart from
# the machine's clusters:
#   test-postgres.sh start FOLDER [PORT]   makes the cluster on first use, starts it on
#                                          127.0.0.1 and prints its URL as the last line
#   test-postgres.sh stop FOLDER
#   test-postgres.sh remove FOLDER         stops it and removes FOLDER
# A cluster started again without PORT keeps the port it had; a new one takes
# a free port. With MARVOK_POSTGRES_OWNER set to a process id when the cluster
# is made, FOLDER is removed once that process ends, even if it crashed.
# With MARVOK_POSTGRES_ADDRESS=IPV4 it listens on that address of this machine
# instead and lets in the machines of that address's subnet (network
# namespaces of a test).
# initdb and postgres refuse to run as root: for root, the server runs as nobody.
set -euo pipefail
usage="usage: test-postgres.sh start|stop|remove FOLDER [PORT]"
command=${1:?$usage}
dir=$(realpath -m "${2:?$usage}")
data=$dir/data
# Debian's server of the newest version installed, not its wrappers for the machine's clusters.
bin=$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
[[ -x $bin/initdb ]] || { echo "no PostgreSQL server under /usr/lib/postgresql: install postgresql" >&2; exit 1; }
script=$(realpath "$0")
host=${MARVOK_POSTGRES_ADDRESS:-127.0.0.1}

# From the folder: a cwd that nobody cannot read makes the tools complain.
if [[ $(id -u) -eq 0 ]]; then
  as_server() { (cd "$dir" && setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups -- "$@"); }
else
  as_server() { (cd "$dir" && "$@"); }
fi

running() { [[ -d $data ]] && as_server "$bin/pg_ctl" -D "$data" status >/dev/null 2>&1; }
url() { echo "postgresql://marvok@$host:$(<"$dir/port")/postgres"; }
free_port() { python3 -c 'import socket, sys; s = socket.socket(); s.bind((sys.argv[1], 0)); print(s.getsockname()[1])' "$host"; }

make_cluster() {
  mkdir -p "$dir"
  [[ $(id -u) -ne 0 ]] || chown "nobody:$(id -g nobody)" "$dir"
  as_server test -w "$dir" 2>/dev/null || { echo "the server's user cannot write to $dir" >&2; exit 1; }
  as_server "$bin/initdb" -D "$data" --auth=trust --username=marvok --encoding=UTF8 --locale=C \
    --no-sync --no-instructions >/dev/null
  # Nothing here outlives the test: durability only costs time.
  cat >>"$data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '${dir//"'"/"''"}'
fsync = off
synchronous_commit = off
full_page_writes = off
EOF
  if [[ -n ${MARVOK_POSTGRES_OWNER:-} ]]; then
    # In a session of its own, so that killing the owner's process group spares
    # it. The inner shell expands the arguments.
    # shellcheck disable=SC2016
    setsid -f bash -c 'tail --pid="$1" -f /dev/null; exec bash "$2" remove "$3"' _ \
      "$MARVOK_POSTGRES_OWNER" "$script" "$dir" </dev/null >/dev/null 2>&1
  fi
}

start() {
  local port=${1:-} tries=1 try listen=""
  [[ -d $data ]] || make_cluster
  if running; then url; return; fi
  if [[ $host != 127.0.0.1 ]]; then
    listen="-h $host"
    grep -qx 'host all all samenet trust' "$data/pg_hba.conf" ||
      echo 'host all all samenet trust' | as_server tee -a "$data/pg_hba.conf" >/dev/null
  fi
  [[ -n $port || ! -s $dir/port ]] || port=$(<"$dir/port")
  # Another program may take a free port before the server binds it: try another.
  [[ -n $port ]] || { port=$(free_port); tries=5; }
  for ((try = 1; ; try++)); do
    as_server "$bin/pg_ctl" -D "$data" -l "$dir/postgres.log" -o "-p $port $listen" -w start >/dev/null && break
    if ((try >= tries)); then
      echo "PostgreSQL did not start on port $port; the end of $dir/postgres.log:" >&2
      tail -n 15 "$dir/postgres.log" >&2 || true
      exit 1
    fi
    port=$(free_port)
  done
  echo "$port" >"$dir/port"
  url
}

stop() { if running; then as_server "$bin/pg_ctl" -D "$data" -m fast -w stop >/dev/null; fi; }

case $command in
  start) start "${3:-}" ;;
  stop) stop ;;
  remove) stop && [[ $dir != / ]] && rm -rf "$dir" ;;
  *) echo "$usage" >&2 && exit 2 ;;
esac
