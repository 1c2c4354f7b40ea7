#!/usr/bin/env bash
# The layer check run on small trees of its own: each case is a source file
# and a src/CMakeLists.txt, with the finding the check must print, or none.
set -euo pipefail

check=$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-include-order.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# name, expected finding (empty: the tree passes), CMake text, then pairs of
# source file and its include line.
run_case() {
  local name=$1 expected=$2 cmake=$3
  shift 3
  local tree=$work/$name
  mkdir -p "$tree/scripts" "$tree/src"
  cp "$check" "$tree/scripts/"
  printf '%s\n' "$cmake" >"$tree/src/CMakeLists.txt"
  while (($#)); do
    mkdir -p "$(dirname "$tree/$1")"
    printf '%s\n' "$2" >"$tree/$1"
    shift 2
  done
  git -C "$tree" init -q

  local output status=0
  output=$("$tree/scripts/check-include-order.sh" 2>&1) || status=$?
  if [[ -z $expected ]]; then
    if ((status != 0)) || [[ -n $output ]]; then
      echo "FAIL $name: expected no finding, got (status $status):"
      echo "$output"
      failures=$((failures + 1))
    fi
  elif ((status == 0)) || [[ $output != *"$expected"* ]]; then
    echo "FAIL $name: expected a finding with \"$expected\", got (status $status):"
    echo "$output"
    failures=$((failures + 1))
  fi
}

run_case "layers in order" "" '
add_library(low STATIC state/a.cpp state/b.cpp)
add_library(high STATIC web/c.cpp)
target_link_libraries(high PUBLIC low PkgConfig::CURL)
add_library(window STATIC ui/d.cpp)
target_link_libraries(window PUBLIC high Qt6::Widgets)
add_executable(program app/main.cpp)
target_link_libraries(program PRIVATE window low)'

run_case "link upwards" "src/CMakeLists.txt:4: low (state) links high (audio)" '
add_library(low STATIC state/a.cpp)
add_library(high STATIC audio/b.cpp)
target_link_libraries(low PUBLIC high)'

run_case "link upwards over several lines" "src/CMakeLists.txt:4: low (platform) links high (companion)" '
add_library(low STATIC platform/a.cpp)
add_library(high STATIC companion/b.cpp)
target_link_libraries(low
  # a comment naming marvok_app, which is no link
  PRIVATE
    high)'

run_case "shared layer links Qt" "web_logic (web) links Qt6::Gui" '
add_library(web_logic STATIC web/a.cpp)
target_link_libraries(web_logic PUBLIC Qt6::Gui)'

run_case "lowest layer links Qt" "state_logic (state) links Qt6::Core" '
add_library(state_logic STATIC state/a.cpp)
target_link_libraries(state_logic PRIVATE Qt6::Core)'

run_case "sources in two layers" "mixed has sources in audio relay" '
add_library(mixed STATIC relay/a.cpp audio/b.cpp)'

run_case "folder outside the order" "is in drawing, missing from the layer order" '
add_library(drawing STATIC drawing/a.cpp)'

run_case "link to an unknown library" "links marvok_elsewhere, which is no library" '
add_library(marvok_low STATIC state/a.cpp)
target_link_libraries(marvok_low PUBLIC marvok_elsewhere)'

run_case "client links Qt" "client (app) links Qt6::Widgets" '
add_library(client STATIC app/a.cpp)
target_link_libraries(client PUBLIC Qt6::Widgets)'

run_case "screen includes Qt" "src/screen/a.cpp:1: #include <QRect> outside src/ui" '
add_library(drawing STATIC screen/a.cpp)' \
  src/screen/a.cpp '#include <QRect>'

run_case "front ends are siblings" "the qt front end may not include ui/win32/b.h" '
add_library(qt_front STATIC ui/qt/a.cpp)' \
  src/ui/qt/a.cpp '#include "ui/win32/b.h"'

run_case "front end uses the screen" "" '
add_library(qt_front STATIC ui/qt/a.cpp)' \
  src/ui/qt/a.cpp '#include "screen/canvas.h"'

run_case "include upwards" "src/audio/a.cpp:1: audio may not include ui/b.h" '
add_library(sound STATIC audio/a.cpp)' \
  src/audio/a.cpp '#include "ui/b.h"'

run_case "server includes the windows" "servers may not include app/c.h" '' \
  servers/demo/a.cpp '#include "app/c.h"'

if ((failures)); then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
