#!/usr/bin/env bash
# Checks the systemd units of an unpacked package (or of any tree laid out as
# it installs): systemd-analyze verify on each, as they would load with the
# tree as the machine's root, then the exposure score of each unit's sandbox.
#   check-units.sh ROOT
# Prints each unit's score; ends non-zero when verify says anything or a
# score is above the threshold. Needs no running systemd.
set -euo pipefail
tree=${1:?usage: check-units.sh ROOT}
# systemd's "OK" band ends here; the servers need nothing that would cost more.
threshold=2.0

mapfile -t units < <(cd "$tree" && find usr/lib/systemd/system lib/systemd/system -maxdepth 1 \
  -name '*.service' -printf '%f\n' 2>/dev/null | sort -u)
((${#units[@]} > 0)) || { echo "check-units: no service under $tree/usr/lib/systemd/system" >&2; exit 1; }

# Verify loads the units' default dependencies (sysinit.target, the slices)
# from the root it is given: a copy of the tree with this machine's targets.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cp -a "$tree/." "$root/"
mkdir -p "$root/usr/lib/systemd/system"
for file in /usr/lib/systemd/system/*.target /usr/lib/systemd/system/*.slice; do
  [[ -e $root/usr/lib/systemd/system/${file##*/} ]] || cp -P "$file" "$root/usr/lib/systemd/system/"
done

status=0
# The man pages named by Documentation= are looked up in the tree too.
if ! report=$(MANPATH=$root/usr/share/man systemd-analyze verify --root="$root" "${units[@]}" 2>&1) ||
  [[ -n $report ]]; then
  echo "check-units: systemd-analyze verify:" >&2
  printf '%s\n' "${report:-(failed without a message)}" >&2
  status=1
fi

for unit in "${units[@]}"; do
  # --offline ends non-zero only above its own threshold (100): the score is read here.
  review=$(systemd-analyze security --offline=yes --root="$root" "$unit" 2>&1) || true
  score=$(sed -n "s/.*Overall exposure level for $unit: \([0-9.]*\).*/\1/p" <<<"$review")
  if [[ -z $score ]]; then
    printf '%s\n' "$review" >&2
    echo "check-units: no exposure score for $unit" >&2
    status=1
  elif awk -v score="$score" -v most="$threshold" 'BEGIN { exit !(score > most) }'; then
    printf '%s\n' "$review" >&2
    echo "check-units: $unit is exposed at $score, above $threshold" >&2
    status=1
  else
    echo "$unit: exposure $score (at most $threshold)"
  fi
done
exit "$status"
