#!/usr/bin/env bash
# Compiles bindings/dotnet/WPclog.cs with a small program using it (Mono's
# mcs) and runs it against libw_pclog.so and pclog-sim: a terminal on a pty
# for port 1 and one on a loopback address.
#   dotnet_check.sh SOURCE_DIR LIBRARY PCLOG_SIM
set -euo pipefail
source=$1 library=$2 sim=$3
for tool in mcs mono; do
  command -v $tool >/dev/null || { echo "$tool missing: apt-get install mono-mcs mono-runtime"; exit 1; }
done
work=$(mktemp -d)
sim_pid=
trap '[[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null; wait; rm -rf "$work"' EXIT
mcs -nologo -warnaserror -out:"$work/check.exe" "$source/bindings/dotnet/WPclog.cs" \
  "$source/tests/bindings/dotnet/BindingsCheck.cs"
mkdir "$work/data"
"$sim" --link "$work/com1" --tcp 127.0.61.1 --records 40 --ready "$work/ready" >/dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 500); do [[ -e $work/ready ]] && break; sleep 0.01; done
for n in $(seq 1 9); do export W_PCLOG_COM$n=$work/com$n; done
# DllImport("w_pclog") finds libw_pclog.so through the loader's search path.
LD_LIBRARY_PATH=$(dirname "$library") W_PCLOG_DIR=$work/data/ mono "$work/check.exe" 1 127.0.61.1 40
