#!/usr/bin/env bash
# Runs a Windows program of the Windows build under Wine, in a prefix of the
# build's own (made on first use), quietly and without asking to download
# Mono or Gecko, and without winemenubuilder, which would copy Start-menu
# entries into the host's menus. Usage: under_wine.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX=${MARVOK_WINE_PREFIX:-$root/build/windows/wine-prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  [[ -f $WINEPREFIX/system.reg ]] || { wineboot -i >/dev/null 2>&1 && wineserver -w; }
) 9>"$WINEPREFIX.lock"
exec wine "$@"
