#!/usr/bin/env bash
# pclog fp copy between two simulated terminals on ptys, in real time:
#   bench/fp_copy_bench.sh BUILD_DIR [TEMPLATES]    (default 200: about 6 minutes)
# The terminals pace their answers at the line speed (--pace). Prints the
# templates per second of the whole copy, and for each fetch and each send
# its overhead over what the protocol prescribes: the pauses (30 ms settling,
# the pause after the 0x15, 800 or 1000 ms before the module link, 3 ms
# settling) and the line time of what the terminal sends (two ACKs at 57600;
# reply header, data part and marker at 9600). The host's own writes cross a
# pty at once, so they count no line time.
set -euo pipefail
build=${1:?usage: fp_copy_bench.sh BUILD_DIR [TEMPLATES]}
count=${2:-200}
sim=$build/tools/sim/pclog-sim
cli=$build/tools/pclog/pclog
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export W_PCLOG_COM3=$work/com3 W_PCLOG_COM5=$work/com5 W_PCLOG_DIR=$work/
"$sim" --link "$work/com3" --pace --templates "$count" >"$work/source.log" 2>&1 &
"$sim" --link "$work/com5" --pace >"$work/target.log" 2>&1 &
for _ in $(seq 200); do [[ -L $work/com3 && -L $work/com5 ]] && break; sleep 0.025; done
start=$(date +%s.%N)
"$cli" fp copy --from 3 --to 5 >"$work/report.txt" 2>/dev/null
end=$(date +%s.%N)
tail -n 1 "$work/report.txt"
awk -v n="$count" -v start="$start" -v end="$end" '
  function median(a, k,   i, j, t) {
    for (i = 2; i <= k; ++i) for (j = i; j > 1 && a[j-1] > a[j]; --j) { t = a[j]; a[j] = a[j-1]; a[j-1] = t }
    return k % 2 ? a[(k+1)/2] : (a[k/2] + a[k/2+1]) / 2
  }
  BEGIN {
    ack = 10 / 57600; byte9600 = 10 / 9600
    fetchDue = 0.030 + ack + 0.010 + ack + 0.800 + 0.003 + (12 + 816 + 4) * byte9600
    sendDue = 0.030 + ack + 0.020 + ack + 1.000 + 0.003 + (12 + 4) * byte9600
  }
  / fetched / {
    for (i = 1; i <= NF; ++i) {
      if ($i == "fetched") f[++nf] = ($(i+1) - fetchDue) / fetchDue * 100
      if ($i == "ok") s[++ns] = ($(i+1) - sendDue) / sendDue * 100
    }
  }
  END {
    printf "%d templates in %.1f s: %.2f templates/s\n", n, end - start, n / (end - start)
    printf "prescribed: fetch %.1f ms, send %.1f ms\n", fetchDue * 1000, sendDue * 1000
    if (nf) printf "median overhead: fetch %.2f %% (%d), send %.2f %% (%d)\n", median(f, nf), nf, median(s, ns), ns
  }' "$work/report.txt"
