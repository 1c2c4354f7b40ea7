#!/usr/bin/env bash
# Checks which source folders include which, checks formatting and runs
# clang-tidy over the project's own sources. Needs a configured build
# (./test.sh or cmake --preset default) for the compile commands. Exits
# non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")"

# Reported first, but the other checks still run.
include_order=0
scripts/check-include-order.sh || include_order=1

build=build/default
[[ -f $build/compile_commands.json ]] || cmake --preset default >/dev/null

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"

mapfile -t units < <(git ls-files 'src/*.cpp' 'servers/*.cpp' 'tests/*.cpp' 'resources/*.cpp' | grep -v '^tests/fuzz/')
echo "clang-tidy: ${#units[@]} files"
# Generated headers (moc, deployment values) must exist before tidy reads the units.
cmake --build "$build" >/dev/null
printf '%s\n' "${units[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
exit "$include_order"
