#!/usr/bin/env bash
# Fails when a source folder includes a folder above it, so that the lower
# layers build and test without the ones that use them. Called by lint.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

# Bottom first: a folder of src/ may include its own headers and those of the
# folders before it.
layers=(state platform audio relay web accessory companion ui app)
# The servers may use the client's layers, but not its windows or start-up.
server_excluded=(ui app)

declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done
declare -A excluded
for folder in "${server_excluded[@]}"; do excluded[$folder]=1; done

mapfile -t files < <(git ls-files --cached --others --exclude-standard \
  'src/*.h' 'src/*.cpp' 'servers/*.h' 'servers/*.cpp' | sort -u)
existing=()
for file in "${files[@]}"; do [[ -f $file ]] && existing+=("$file"); done
((${#existing[@]})) || exit 0

status=0
declare -A unknown_reported
# Each line: file:line:#include "folder/header.h"
while IFS=: read -r file line text; do
  target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$text")
  target_folder=${target%%/*}
  # Headers of other folders (generated ones, local subfolders) are not layers.
  [[ -n ${rank[$target_folder]+set} ]] || continue
  case $file in
    src/*/*)
      folder=${file#src/}
      folder=${folder%%/*}
      if [[ -z ${rank[$folder]+set} ]]; then
        if [[ -z ${unknown_reported[$folder]+set} ]]; then
          echo "src/$folder: folder missing from the include order in $0 (${layers[*]})"
          unknown_reported[$folder]=1
          status=1
        fi
        continue
      fi
      if ((rank[$target_folder] > rank[$folder])); then
        echo "$file:$line: $folder may not include $target: a folder includes only itself and those below it (bottom first: ${layers[*]})"
        status=1
      fi
      ;;
    servers/*)
      if [[ -n ${excluded[$target_folder]+set} ]]; then
        echo "$file:$line: servers may not include $target: they may use any src folder but ${server_excluded[*]}"
        status=1
      fi
      ;;
  esac
done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/' "${existing[@]}" || true)

exit "$status"
