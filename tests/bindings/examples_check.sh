#!/usr/bin/env bash
# Runs the example hosts that download a list of network terminals (Python,
# and C# under Mono) against two pclog-sim terminals, and checks that both
# print the same CSV with every record.
#   examples_check.sh PYTHON SOURCE_DIR LIBRARY PCLOG_SIM
set -euo pipefail
python=$1 source=$2 library=$3 sim=$4
work=$(mktemp -d)
sim_pid=
trap '[[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null; wait; rm -rf "$work"' EXIT
start() {  # a fresh simulator: 30 and 45 records, the same each time
  [[ -n $sim_pid ]] && { kill "$sim_pid"; wait "$sim_pid" || true; }
  rm -f "$work/ready"
  "$sim" --tcp 127.0.62.1 --tcp 127.0.62.2 --records 30 --seed 11 --ready "$work/ready" \
    >/dev/null 2>&1 &
  sim_pid=$!
  for _ in $(seq 500); do [[ -e $work/ready ]] && break; sleep 0.01; done
}
ips="127.0.62.1 127.0.62.2"

start
printf '127.0.62.1  # first\n127.0.62.2\n' >"$work/list"
PYTHONPATH=$source/bindings/python W_PCLOG_LIBRARY=$library \
  "$python" "$source/examples/python/download_all.py" --data "$work/py" "@$work/list" >"$work/py.csv"

start
mcs -nologo -warnaserror -out:"$work/DownloadAll.exe" "$source/bindings/dotnet/WPclog.cs" \
  "$source/examples/dotnet/DownloadAll.cs"
LD_LIBRARY_PATH=$(dirname "$library") mono "$work/DownloadAll.exe" --data "$work/cs" $ips \
  >"$work/cs.csv"

rows=$(($(wc -l <"$work/py.csv") - 1))
[[ $rows -eq 60 ]] || { echo "Python: $rows records, not 60"; head "$work/py.csv"; exit 1; }
diff "$work/py.csv" "$work/cs.csv" || { echo "the C# CSV differs from the Python CSV"; exit 1; }
head -n 3 "$work/py.csv"
echo "examples: $rows records from 2 terminals, the same in Python and C#"
