#!/usr/bin/env bash
# scripts/check-units.sh on a small tree laid out as the package installs the
# servers' units: the units as built pass, and each fault the package could
# ship is refused.
#   check_units_test.sh UNIT_FOLDER   (where the build configures the units)
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-units.sh
units=${1:?usage: check_units_test.sh UNIT_FOLDER}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT

# The program a unit runs: in /usr/local/bin for a build for /usr/local.
program() { sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$units/$1.service"; }

# The programs are empty: verify only looks for them.
make_tree() {
  local root=$1 server
  mkdir -p "$root/usr/lib/systemd/system" "$root/usr/share/man/man1"
  for server in marvok-relay marvok-web; do
    install -D -m 755 /dev/null "$root$(program "$server")"
    cp "$units/$server.service" "$root/usr/lib/systemd/system/"
    printf '.TH %s 1\n.SH NAME\n%s \\- a server\n' "$server" "$server" | gzip >"$root/usr/share/man/man1/$server.1.gz"
  done
}

relay=usr/lib/systemd/system/marvok-relay.service
web=usr/lib/systemd/system/marvok-web.service
# case | change made to the tree | status | what the output must say
cases=(
  "as built|true|0|marvok-web.service: exposure"
  "unknown setting|sed -i 's/^UMask=/Umask=/' $web|1|Unknown key"
  "program missing|rm .$(program marvok-relay)|1|not executable"
  "man page missing|rm usr/share/man/man1/marvok-web.1.gz|1|man marvok-web"
  "sandbox dropped|sed -i '/^CapabilityBoundingSet=/,/^SystemCallErrorNumber=/d' $relay|1|marvok-relay.service is exposed"
)
failures=0
count=0
for entry in "${cases[@]}"; do
  IFS='|' read -r name change expected text <<<"$entry"
  root=$folder/$((++count))
  make_tree "$root"
  (cd "$root" && eval "$change")
  status=0
  output=$("$script" "$root" 2>&1) || status=$?
  if [[ $status != "$expected" ]] || ! grep -qF -- "$text" <<<"$output"; then
    echo "FAIL $name: status $status (expected $expected), output:" >&2
    printf '%s\n' "$output" >&2
    failures=$((failures + 1))
  fi
done
echo "$((${#cases[@]} - failures)) passed, $failures failed"
((failures == 0))
