#!/usr/bin/env bash
# Installs bindings/python into a fresh virtual environment without a package
# index, then downloads a simulated network terminal in five lines of Python.
#   python_install.sh PYTHON SOURCE_DIR LIBRARY PCLOG_SIM
set -euo pipefail
python=$1 source=$2 library=$3 sim=$4
work=$(mktemp -d)
sim_pid=
trap '[[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null; wait; rm -rf "$work"' EXIT
"$python" -m venv "$work/venv"
"$work/venv/bin/pip" install --no-index --quiet "$source/bindings/python"
"$sim" --tcp 127.0.60.3 --records 25 --ready "$work/ready" >/dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 500); do [[ -e $work/ready ]] && break; sleep 0.01; done
cd "$work"  # not the source folder: the installed package is the one imported
W_PCLOG_LIBRARY=$library "$work/venv/bin/python" - <<'PY'
from w_pclog import NetworkTerminal
records = NetworkTerminal("127.0.60.3").download()
print(len(records), "records; first:", records[0].person, records[0].datetime, records[0].tag)
assert len(records) == 25
PY
[[ -s $work/pclog.txt ]] || { echo "no pclog.txt in the current folder"; exit 1; }
