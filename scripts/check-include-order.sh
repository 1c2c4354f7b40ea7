#!/usr/bin/env bash
# Fails when a source folder includes a folder above it, when a front end
# includes another (ui/qt and ui/win32 are siblings), or when a library of
# src/CMakeLists.txt links a library of a folder above its own or, outside ui,
# links Qt, or a file outside ui includes a Qt header: the lower layers build
# and test without the ones that use them, the Windows build, which has no
# Qt, compiles them unchanged, and the client composes a front end without
# knowing its toolkit. Called by lint.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

# Bottom first: a folder of src/ may include its own headers and those of the
# folders before it.
layers=(state platform audio relay web accessory companion screen ui app)
# The servers may use the client's layers, but not its screen, windows or start-up.
server_excluded=(screen ui app)
# The one layer that may use Qt: the front ends. Those below it are shared
# with the Windows build; the client above it reaches a front end only
# through the screen's interfaces.
qt_layer=ui

declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done
declare -A excluded
for folder in "${server_excluded[@]}"; do excluded[$folder]=1; done

mapfile -t files < <(git ls-files --cached --others --exclude-standard \
  'src/*.h' 'src/*.cpp' 'servers/*.h' 'servers/*.cpp' | sort -u)
existing=()
for file in "${files[@]}"; do [[ -f $file ]] && existing+=("$file"); done

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
      # The front ends are siblings: src/ui/qt and src/ui/win32 know nothing of each other.
      if [[ $folder == "$qt_layer" && $target_folder == "$qt_layer" && $file == src/*/*/* && $target == */*/* ]]; then
        front=${file#src/*/}
        front=${front%%/*}
        target_front=${target#*/}
        target_front=${target_front%%/*}
        if [[ $front != "$target_front" ]]; then
          echo "$file:$line: the $front front end may not include $target: front ends are siblings"
          status=1
        fi
      fi
      ;;
    servers/*)
      if [[ -n ${excluded[$target_folder]+set} ]]; then
        echo "$file:$line: servers may not include $target: they may use any src folder but ${server_excluded[*]}"
        status=1
      fi
      ;;
  esac
done < <( ((${#existing[@]})) && grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/' "${existing[@]}" || true)

# Qt's headers, named <QSomething> or <QtModule/...>, only in the front ends.
while IFS=: read -r file line text; do
  [[ $file == src/* && $file != src/$qt_layer/* ]] || continue
  echo "$file:$line: $(sed -E 's/^[[:space:]]*//' <<<"$text") outside src/$qt_layer: only the front ends know Qt"
  status=1
done < <( ((${#existing[@]})) && grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z]*[>/]' "${existing[@]}" || true)

# Each library of src/CMakeLists.txt (and of src/shared_libraries.cmake, which
# it includes) takes the layer of the folder its sources are in, and may link
# only libraries of its own layer or below.
libraries=src/CMakeLists.txt
[[ -f $libraries ]] || exit "$status"
library_files=("$libraries")
[[ -f src/shared_libraries.cmake ]] && library_files=(src/shared_libraries.cmake "$libraries")
# One line per command: its file and line, its name and its arguments,
# comments left out; a path from the file's own folder is written as such.
read_commands() {
  awk '
    { sub(/#.*/, "") }
    !open && match($0, /^[[:space:]]*(add_library|add_executable|target_link_libraries)[[:space:]]*\(/) {
      open = 1; start = FNR; text = ""
    }
    open {
      text = text " " $0
      if (index($0, ")")) {
        gsub(/[()]/, " ", text); gsub(/[[:space:]]+/, " ", text)
        gsub(/\$\{CMAKE_CURRENT_LIST_DIR\}\//, "", text)
        print FILENAME ":" start text
        open = 0
      }
    }' "$@"
}

declare -A library_layer
declare -A library_line
while read -r line command name arguments; do
  [[ $command == add_library || $command == add_executable ]] || continue
  library_line[$name]=$line
  folders=()
  for argument in $arguments; do
    [[ $argument == */* ]] && folders+=("${argument%%/*}")
  done
  mapfile -t folders < <(printf '%s\n' "${folders[@]}" | sort -u | sed '/^$/d')
  if ((${#folders[@]} > 1)); then
    echo "$line: $name has sources in ${folders[*]}: a library keeps to one layer"
    status=1
  elif ((${#folders[@]} == 1)); then
    if [[ -z ${rank[${folders[0]}]+set} ]]; then
      echo "$line: $name is in ${folders[0]}, missing from the layer order in $0 (${layers[*]})"
      status=1
    else
      library_layer[$name]=${folders[0]}
    fi
  fi
done < <(read_commands "${library_files[@]}")

while read -r line command name arguments; do
  [[ $command == target_link_libraries && -n ${library_layer[$name]+set} ]] || continue
  layer=${library_layer[$name]}
  for linked in $arguments; do
    case $linked in
      PUBLIC | PRIVATE | INTERFACE) ;;
      Qt6::* | Qt::*)
        if [[ $layer != "$qt_layer" ]]; then
          echo "$line: $name ($layer) links $linked: only the front ends ($qt_layer) link Qt; the layers below are shared with the Windows build and the client above composes a front end through the screen's interfaces"
          status=1
        fi
        ;;
      *)
        if [[ -n ${library_layer[$linked]+set} ]]; then
          if ((rank[${library_layer[$linked]}] > rank[$layer])); then
            echo "$line: $name ($layer) links $linked (${library_layer[$linked]}): a library links only those of its own layer or below (bottom first: ${layers[*]})"
            status=1
          fi
        elif [[ $linked == marvok_* ]]; then
          echo "$line: $name links $linked, which is no library of $libraries with its sources in one layer"
          status=1
        fi
        ;;
    esac
  done
done < <(read_commands "${library_files[@]}")

exit "$status"
