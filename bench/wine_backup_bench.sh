#!/usr/bin/env bash
# The 100 KiB fingerprint backup send, 1 ms after each host byte, measured
# twice in one run against the same prescribed time: from the Linux library
# (bench/backup_bench) and from the 64-bit DLL under 64-bit Wine
# (wine_host.exe's timed case), both against pclog-sim --pace on a pty.
# Wine's sleeps and waits are Linux's, so the Wine figure tells how the
# DLL's pauses behave, not how a Windows timer would. About five minutes.
#
#   bench/wine_backup_bench.sh [BUILD [WIN64_BUILD]]
set -euo pipefail
build=${1:-build} win64=${2:-build-win64}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/bench/backup_bench" --benchmark_filter='BM_Backup/send:1' \
  --benchmark_counters_tabular=true | tee "$out"
# The row's columns: name, time, cpu, iterations, then the counters
# alphabetically (prescribed_s, ratio, seconds).
read -r prescribed linux_ratio linux_s < <(awk '/^BM_Backup\/send:1/ { print $(NF-2), $(NF-1), $NF }' "$out")
WPL_WINE_BENCH=1 WPL_WINE_LIMIT=900 "$root/tests/wine/run_wine_tests.sh" "$win64" \
  "$build/tools/sim/pclog-sim" | tee "$out"
wine_ms=$(awk '/sent [0-9]+ bytes in [0-9]+ ms/ { print $(NF-1) }' "$out")
[[ -n $wine_ms ]] || { echo "no timed send under Wine" >&2; exit 1; }
awk -v p="$prescribed" -v ls="$linux_s" -v lr="$linux_ratio" -v w="$wine_ms" 'BEGIN {
  printf "\nsend 100 KiB     wall      prescribed  ratio\n"
  printf "Linux library   %7.1f s  %7.1f s   %.3fx\n", ls, p, lr
  printf "DLL under Wine  %7.1f s  %7.1f s   %.3fx\n", w / 1000, p, w / 1000 / p
}'
