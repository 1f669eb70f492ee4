#!/usr/bin/env bash
# Starts a simulated terminal on a pseudo-terminal and talks to it with pclog,
# as a host would over a serial line.
set -euo pipefail
build=${1:-build}
work=$(mktemp -d /tmp/pclog-demo.XXXXXX)
sim_pid=
cleanup() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Ports 1..6 map to links in the demo folder; only port 4 has a terminal.
for n in 1 2 3 4 5 6; do export W_PCLOG_COM$n=$work/com$n; done
export W_PCLOG_DIR=$work/

# A terminal holding 3000 records, sending at the pace of its 19200-baud line.
"$build/tools/sim/pclog-sim" --link "$work/com4" --address 1 --baud 19200 --records 3000 --pace \
  --log "$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do [[ -L $work/com4 ]] && break; sleep 0.05; done

echo "== pclog testcom --address 1 --port 3 --trace wire.trace"
"$build/tools/pclog/pclog" testcom --address 1 --port 3 --trace "$work/wire.trace"
echo "== what the terminal received (time, speed, stop bits, bytes)"
cat "$work/sim.log"
echo "== the host's wire trace of the same scan (first lines)"
head -n 12 "$work/wire.trace"
echo
echo "== pclog download --address 1 --port 3"
"$build/tools/pclog/pclog" download --address 1 --port 3
echo "== first lines of pclog.txt (number, hh:mm, yyyymmdd, tag)"
head -n 5 "$work/pclog.txt"
echo "== backups"
ls "$work/downbak"
