#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 60), printing each target's rate; a finding stops the run with its report.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/build.sh fuzz fuzzers
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for target in build-fuzz/fuzz/*_fuzzer; do
  name=$(basename "$target")
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="fuzz/seeds/$name"
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" \
      $( [ -d "$seeds" ] && echo "$seeds" ) >"$log" 2>&1; then
    tail -n 40 "$log"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "fuzz: $name: ${runs:-?} inputs, ${rate:-?} execs/s"
done
