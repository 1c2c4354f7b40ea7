#!/usr/bin/env bash
# Checks which source folders include and link which, checks formatting and
# runs clang-tidy over the project's own sources. Exits non-zero on any finding.
#   ./lint.sh                      clang-tidy over every unit
#   ./lint.sh --changed-since REF  clang-tidy over the units changed since REF,
#                                  and those whose header changed
# The compile commands come from build/default, or from the configured build
# named by MARVOK_LINT_BUILD (CI uses the sanitizer build ./test.sh made).
# The units only the Windows build compiles are checked through its compile
# commands (build/windows, which ./test.sh --windows makes), when it exists.
set -euo pipefail
cd "$(dirname "$0")"
# sort and comm compare in byte order, as the scripts that list units do.
export LC_ALL=C

since=""
if [[ ${1:-} == --changed-since ]]; then
  since=${2:?"--changed-since needs a commit"}
fi

# Reported first, but the other checks still run.
include_order=0
scripts/check-include-order.sh || include_order=1

build=${MARVOK_LINT_BUILD:-build/default}
[[ -f $build/compile_commands.json ]] || cmake --preset default >/dev/null

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"

mapfile -t units < <(git ls-files 'src/*.cpp' 'servers/*.cpp' 'tests/*.cpp' 'resources/*.cpp' | grep -v '^tests/fuzz/')
if [[ -n $since ]]; then
  # A changed header is checked through the unit of the same name.
  mapfile -t changed < <(git diff --name-only "$since" HEAD -- '*.cpp' '*.h' | sed 's/\.h$/.cpp/' | sort -u)
  mapfile -t units < <(comm -12 <(printf '%s\n' "${units[@]}" | sort) <(printf '%s\n' "${changed[@]}"))
fi
commands=$(mktemp -d)
trap 'rm -rf "$commands"' EXIT
mkdir "$commands/linux" "$commands/windows"
windows_build=build/windows
windows_units=()
if [[ -f $windows_build/compile_commands.json ]]; then
  mapfile -t windows_units < <(scripts/windows-only-units.py "$build/compile_commands.json" \
    "$windows_build/compile_commands.json" | comm -12 - <(printf '%s\n' "${units[@]}" | sort))
  mapfile -t units < <(comm -23 <(printf '%s\n' "${units[@]}" | sort) <(printf '%s\n' "${windows_units[@]}"))
fi
echo "clang-tidy: ${#units[@]} files, ${#windows_units[@]} of the Windows build"
((${#units[@]} + ${#windows_units[@]} > 0)) || exit "$include_order"
# Generated headers (moc, deployment values) must exist before tidy reads the units.
cmake --build "$build" >/dev/null
# Each unit's own command, which a unity build's database folds into the
# files that include the units.
scripts/unit-compile-commands.py "$build/compile_commands.json" >"$commands/linux/compile_commands.json"
((${#units[@]} == 0)) ||
  printf '%s\n' "${units[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$commands/linux" --quiet 2>/dev/null
if ((${#windows_units[@]} > 0)); then
  # clang reads the mingw-w64 cross compiler's commands once told its target
  # and its C++ library, which it does not find by itself.
  cross=(--extra-arg-before=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++)
  mapfile -t cxx_dirs < <(x86_64-w64-mingw32-g++-posix -E -x c++ -v - </dev/null 2>&1 |
    sed -n 's|^ \(/.*/include/c++[^ ]*\)$|\1|p')
  for dir in "${cxx_dirs[@]}"; do cross+=("--extra-arg=-isystem$dir"); done
  scripts/unit-compile-commands.py "$windows_build/compile_commands.json" >"$commands/windows/compile_commands.json"
  printf '%s\n' "${windows_units[@]}" |
    xargs -P "$(nproc)" -n 4 clang-tidy -p "$commands/windows" "${cross[@]}" --quiet 2>/dev/null
fi
exit "$include_order"
