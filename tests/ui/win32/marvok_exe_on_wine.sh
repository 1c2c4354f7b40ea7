#!/usr/bin/env bash
# Runs marvok_exe_scenarios.py in a network namespace of its own, where the
# relay's fixed ports and the web service's 8443 are free: a real marvok-relay
# and marvok-web on 127.0.0.1 (with the demo member's card), the web
# service's authority trusted in the host's store while it runs, and one Wine
# prefix for every start of the client.
# Usage: marvok_exe_on_wine.sh <marvok.exe> <marvok-short-countdown.exe> <Linux build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
source "$root/tests/support/wine_network.sh"
enter_private_network "$@"
[[ -n ${DISPLAY:-} ]] && command -v xdotool >/dev/null || { echo "needs an X display and xdotool"; exit 77; }
client=$(realpath "$1") short=$(realpath "$2") linux=$(realpath "$3")

use_wine_prefix "$(dirname "$client")/wine-prefix-marvok"
work=$MARVOK_SERVICE_DIR
"$root/scripts/make-web-certificate.sh" "$work/web" >/dev/null
trust_in_host_store "$work/web/ca.pem"
serve_network "$linux" "$work/web"
# A fresh prefix is made once, before the first client starts.
"$root/tests/support/under_wine.sh" cmd /c exit >/dev/null 2>&1 || true
python3 "$here/marvok_exe_scenarios.py" "$client" "$short" "$linux" "$work"
