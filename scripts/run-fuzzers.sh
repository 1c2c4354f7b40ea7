#!/usr/bin/env bash
# Builds the fuzzers with clang and runs each, one process at a time, from its
# corpus under tests/fuzz/corpus. New inputs go to a scratch folder, so the
# corpus only changes when someone copies them in.
#
#   scripts/run-fuzzers.sh [SECONDS]         each fuzzer for SECONDS (default 60)
#   scripts/run-fuzzers.sh --runs N [--max-time SECONDS] [NAME...]
#                                            each fuzzer (or those named) to N
#                                            executions, or until SECONDS pass
#
# Every run prints its executions, wall time and executions per second. A
# fault (crash, leak, undefined behaviour, broken check) ends the script with
# the fuzzer's report; the input that caused it is left in build/fuzz/faults.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzzers=(led_image_file wave_file relay_datagrams web_records gif_animation probe_echo
  companion_datagrams picture_decoding relay_server web_requests web_wire_records)

seconds=60
runs=0
max_time=0
if [[ ${1:-} == --runs ]]; then
  runs=${2:?--runs needs a count}
  shift 2
  if [[ ${1:-} == --max-time ]]; then
    max_time=${2:?--max-time needs seconds}
    shift 2
  fi
  if (($# > 0)); then fuzzers=("$@"); fi
elif (($# > 0)); then
  seconds=$1
fi

# The machine may be shared: builds take turns when the lock is there.
build=(cmake --build --preset fuzz --target "${fuzzers[@]/%/_fuzz}")
cmake --preset fuzz >/dev/null
if command -v flock >/dev/null; then
  flock /tmp/marvok-build.lock "${build[@]}"
else
  "${build[@]}"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
faults=build/fuzz/faults
mkdir -p "$faults"
# Undefined behaviour is a fault like any other, not a line in the log.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

for name in "${fuzzers[@]}"; do
  mkdir -p "$scratch/$name"
  limits=()
  if ((runs > 0)); then
    limits+=(-runs="$runs")
    if ((max_time > 0)); then
      limits+=(-max_total_time="$max_time")
      echo "== fuzzing $name to $runs executions or ${max_time}s"
    else
      echo "== fuzzing $name to $runs executions"
    fi
  else
    limits+=(-max_total_time="$seconds")
    echo "== fuzzing $name for ${seconds}s"
  fi
  started=$(date +%s.%N)
  if ! "build/fuzz/tests/fuzz/${name}_fuzz" "${limits[@]}" -print_final_stats=1 -artifact_prefix="$faults/$name-" \
    "$scratch/$name" "tests/fuzz/corpus/$name" >"$scratch/$name.log" 2>&1; then
    tail -n 40 "$scratch/$name.log"
    echo "fuzzer $name found a fault; the input is in $faults"
    exit 1
  fi
  ended=$(date +%s.%N)
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$name.log")
  awk -v name="$name" -v n="${executions:-0}" -v t0="$started" -v t1="$ended" 'BEGIN {
    t = t1 - t0; printf "%s: %d executions in %.1f s, %.0f exec/s\n", name, n, t, (t > 0 ? n / t : 0) }'
done
