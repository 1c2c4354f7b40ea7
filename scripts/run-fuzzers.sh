#!/usr/bin/env bash
# Builds the fuzzers with clang and runs each for the given number of seconds
# (default 60) from its corpus under tests/fuzz/corpus. New inputs go to a
# scratch folder, so the corpus only changes when someone copies them in.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target led_image_file_fuzz wave_file_fuzz relay_datagrams_fuzz web_records_fuzz gif_animation_fuzz probe_echo_fuzz
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for name in led_image_file wave_file relay_datagrams web_records gif_animation probe_echo; do
  mkdir -p "$scratch/$name"
  echo "== fuzzing $name for ${seconds}s"
  if ! "build/fuzz/tests/fuzz/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    "$scratch/$name" "tests/fuzz/corpus/$name" >"$scratch/$name.log" 2>&1; then
    tail -n 40 "$scratch/$name.log"
    echo "fuzzer $name found a fault"
    exit 1
  fi
  grep -E '^Done|number_of_executed_units' "$scratch/$name.log"
done
