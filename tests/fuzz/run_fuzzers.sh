#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for FUZZ_SECONDS seconds each
# (default 5); longer runs by hand: FUZZ_SECONDS=600 tests/fuzz/run_fuzzers.sh build-fuzz
set -euo pipefail
build=${1:?usage: run_fuzzers.sh BUILD_DIR}
seconds=${FUZZ_SECONDS:-5}
status=0
for target in "$build"/tests/fuzz/fuzz_*; do
  [[ -x $target ]] || continue
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  if "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" >"$build/$name.log" 2>&1; then
    echo "fuzz: $name ok (${seconds}s)"
  else
    echo "fuzz: $name FAILED, see $build/$name.log"
    tail -n 30 "$build/$name.log"
    status=1
  fi
done
exit $status
