#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for FUZZ_SECONDS seconds each
# (default 5), starting from the seed corpus the build writes from the tests'
# byte examples, and prints each target's executions per second and total.
#   make test       short runs
#   make fuzz-long  FUZZ_LONG_SECONDS each (default 600)
set -euo pipefail
build=${1:?usage: run_fuzzers.sh BUILD_DIR}
seconds=${FUZZ_SECONDS:-5}
seeds="$build/seeds"
rm -rf "$seeds"
"$build/tests/fuzz/wpl_seed_corpus" "$seeds" >/dev/null
status=0
for target in "$build"/tests/fuzz/fuzz_*; do
  [[ -x $target ]] || continue
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus" "$seeds/$name"
  if "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "$seeds/$name" \
    >"$build/$name.log" 2>&1; then
    runs=$(awk '/stat::number_of_executed_units:/ {print $2}' "$build/$name.log")
    rate=$(awk '/stat::average_exec_per_sec:/ {print $2}' "$build/$name.log")
    echo "fuzz: $name ok (${seconds}s, ${runs:-?} runs, ${rate:-?}/s)"
  else
    echo "fuzz: $name FAILED, see $build/$name.log"
    tail -n 30 "$build/$name.log"
    status=1
  fi
done
exit $status
