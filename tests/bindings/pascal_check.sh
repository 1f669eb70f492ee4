#!/usr/bin/env bash
# Compiles bindings/delphi/w_pclog.pas with a small program using it (Free
# Pascal in Delphi mode), linked against libw_pclog.so, and runs it against a
# pclog-sim terminal on a pty for port 2.
#   pascal_check.sh SOURCE_DIR LIBRARY PCLOG_SIM
set -euo pipefail
source=$1 library=$2 sim=$3
command -v fpc >/dev/null || { echo "fpc missing: apt-get install fpc"; exit 1; }
work=$(mktemp -d)
sim_pid=
trap '[[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null; wait; rm -rf "$work"' EXIT
libdir=$(dirname "$library")
fpc -Mdelphi -vew -Sew -FU"$work" -Fu"$source/bindings/delphi" -Fl"$libdir" -o"$work/check" \
  "$source/tests/bindings/pascal/bindings_check.pas" >"$work/fpc.log" || { cat "$work/fpc.log"; exit 1; }
"$sim" --link "$work/com2" --ready "$work/ready" >/dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 500); do [[ -e $work/ready ]] && break; sleep 0.01; done
for n in $(seq 1 9); do export W_PCLOG_COM$n=$work/com$n; done
mkdir "$work/data"
LD_LIBRARY_PATH=$libdir W_PCLOG_DIR=$work/data/ "$work/check" 2 "$work/data/"
ls "$work"/data/NAM*.DAT >/dev/null
