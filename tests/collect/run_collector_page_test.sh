#!/usr/bin/env bash
# The status page of a running collector in headless Chromium: pclog-sim
# holds a network terminal with records, `pclog collect --http` collects it
# into a SQLite store and serves the page, and the DOM the browser renders
# must show the terminal up, with the records it stored today.
set -euo pipefail
pclog=${1:?usage: run_collector_page_test.sh PCLOG PCLOG_SIM} sim=${2:?}
source "$(dirname "$0")/chromium_dom.sh"
find_browser
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --tcp 127.0.65.2 --records 25 --seed 3 --ready "$work/ready" >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -e $work/ready ]] && break; sleep 0.05; done
cat >"$work/site.toml" <<TOML
site = "page-test"
store = "sqlite:site.db"
spool = "spool"
[[terminal]]
id = "front-door"
ip = "127.0.65.2"
every = "1h"
TOML
"$pclog" collect --config "$work/site.toml" --http 127.0.65.1:0 2>"$work/collect.log" &
pids+=($!)
port=
for _ in $(seq 200); do
  port=$(sed -nE 's/.*http: serving on 127\.0\.65\.1:([0-9]+).*/\1/p' "$work/collect.log")
  [[ -n $port ]] && grep -q 'front-door' "$work/collect.log" && break
  sleep 0.05
done
[[ -n $port ]] || { echo "the collector serves no page:"; cat "$work/collect.log"; exit 1; }
# The first download is due at once; wait for it to be stored.
for _ in $(seq 200); do
  curl_out=$(exec 3<>"/dev/tcp/127.0.65.1/$port" && printf 'GET /api/terminals HTTP/1.0\r\nHost: 127.0.65.1\r\n\r\n' >&3 && cat <&3) || true
  grep -q '"records_today":25' <<<"$curl_out" && break
  sleep 0.1
done

dump_dom "http://127.0.65.1:$port/" 3000 "$work"

expect_shown '<tr class="up" data-terminal="front-door"><td>front-door</td><td>ip 127\.0\.65\.2</td><td>download</td><td class="state">up</td>'
expect_shown '<td class="num">25</td>'
expect_shown '1 terminals?, 1 up, 0 down'
if [[ -z $shown_all ]]; then
  echo "--- the DOM as rendered:"; cat "$dom"; echo "--- the collector:"; cat "$work/collect.log"; exit 1
fi
