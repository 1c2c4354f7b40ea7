#!/usr/bin/env bash
# Runs a Windows test program under Wine with an accessory on a COM port: a
# pseudo-terminal played by accessory_stand_in.py, which maps it as COM9 in
# the build's Wine prefix. The program learns the port's name and the stand-in's
# folder (as a Windows path) from MARVOK_ACCESSORY_PORT and
# MARVOK_ACCESSORY_FOLDER. Usage: with_accessory_port.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
support=$here/../../support
root=$(cd "$here/../../.." && pwd)
export WINEPREFIX=${MARVOK_WINE_PREFIX:-$root/build/windows/wine-prefix}
port=COM9

link=$WINEPREFIX/dosdevices/${port,,}
folder=""
stand_in_pid=""
cleanup() {
  if [[ -n $stand_in_pid ]]; then
    eval "exec ${stand_in[1]}>&-" 2>/dev/null || true
    wait "$stand_in_pid" 2>/dev/null || true
  fi
  rm -f "$link" "$link.new"
  [[ -z $folder ]] || rm -rf "$folder"
}
trap cleanup EXIT
folder=$(mktemp -d)
# The prefix is made by the first program run in it.
[[ -f $WINEPREFIX/system.reg ]] || "$support/under_wine.sh" cmd /c exit >/dev/null 2>&1
coproc stand_in { exec python3 "$here/accessory_stand_in.py" "$folder" "$link"; }
stand_in_pid=$stand_in_PID
read -r ready <&"${stand_in[0]}"
[[ $ready == ready ]]

export MARVOK_ACCESSORY_PORT=$port
export MARVOK_ACCESSORY_FOLDER="Z:${folder//\//\\}"
status=0
"$support/under_wine.sh" "$@" || status=$?
exit "$status"
