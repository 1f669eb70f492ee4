#!/usr/bin/env bash
# The status page in headless Chromium: the page is served from two made-up
# terminals, the browser runs its script, and the DOM it then holds must
# show both terminals' states as the script filled them in, refreshed
# once from the API.
set -euo pipefail
server=${1:?usage: run_page_test.sh COLLECT_PAGE_SERVER}
source "$(dirname "$0")/chromium_dom.sh"
find_browser
work=$(mktemp -d)
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

token=page-test-token-0123456789
"$server" "$token" >"$work/server.out" &
pid=$!
for _ in $(seq 100); do
  grep -q '^port ' "$work/server.out" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || { echo "the page server ended"; exit 1; }
  sleep 0.05
done
port=$(awk '/^port / {print $2}' "$work/server.out")
[[ -n $port ]] || { echo "the page server named no port"; exit 1; }

dump_dom "http://127.0.0.1:$port/?token=$token" 8000 "$work"
# Rows the script built, cell by cell.
expect_shown '<tr class="up" data-terminal="gate-1"><td>gate-1</td><td>ip 127\.0\.0\.5</td><td>download</td><td class="state">up</td><td class="when">2026-03-04 07:15:00 UTC</td><td class="when">2026-03-04 07:15:00 UTC</td><td class="num">0</td><td></td><td class="num">42</td><td class="num">-3 s</td><td>no</td></tr>'
expect_shown '<tr class="down" data-terminal="hall-2"><td>hall-2</td><td>com3 address 1</td><td>both</td><td class="state">down</td><td class="when">2026-03-04 06:00:00 UTC</td><td class="when">—</td><td class="num">4</td><td>no answer &lt;b&gt;&amp;&lt;/b&gt; "timeout"</td><td class="num">0</td><td class="num">—</td><td class="overdue">overdue</td></tr>'
# ... and renewed from /api/terminals with the token the address carried.
expect_shown '2 terminals, 1 up, 1 down, 1 overdue; refreshed '
if [[ -z $shown_all ]]; then
  echo "--- the DOM as rendered:"; cat "$dom"; exit 1
fi
