#!/usr/bin/env bash
# Runs talksrv_exe_scenarios.py in a network namespace of its own, where the
# companion's fixed port 5555 is free, with a Wine prefix of its own whose
# wineserver (which makes Wine's sockets) runs in that namespace.
# Usage: talksrv_exe_on_wine.sh <talksrv.exe> <window_probe.exe>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
if [[ -z ${MARVOK_PRIVATE_NETWORK:-} ]]; then
  export MARVOK_PRIVATE_NETWORK=1
  exec "$root/tests/support/in_private_network.sh" "$0" "$@"
fi
[[ -n ${DISPLAY:-} ]] && command -v xdotool >/dev/null || { echo "needs an X display and xdotool"; exit 77; }
talksrv=$(realpath "$1") probe=$(realpath "$2")

export MARVOK_WINE_PREFIX=$(dirname "$talksrv")/wine-prefix-talksrv
stop_wine() { WINEPREFIX=$MARVOK_WINE_PREFIX wineserver -k >/dev/null 2>&1 || true; }
stop_wine
trap stop_wine EXIT
# A fresh prefix is made once, before the first start is timed.
"$root/tests/support/under_wine.sh" cmd /c exit >/dev/null 2>&1 || true
python3 "$here/talksrv_exe_scenarios.py" "$talksrv" "$probe"
