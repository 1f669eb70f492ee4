# Sourced by the status-page tests: headless Chromium renders a page and the
# tests look for what the page's script put in it.
#   dump_dom URL BUDGET_MS WORK   the rendered DOM into WORK/dom.html
#   expect_shown PATTERN          grep -E on it; clears $shown_all when absent
# Needs $browser (see find_browser) and WORK being a fresh folder.

# The browser, or the test skipped (77) where there is none.
find_browser() {
  browser=$(command -v chromium || command -v chromium-browser || true)
  [[ -n $browser ]] || { echo "chromium is not installed: skipped"; exit 77; }
}

# Virtual time runs the page's refreshes without waiting for them. A fresh
# profile, and none of the browser's own traffic (nothing but loopback here).
dump_dom() {
  local url=$1 budget=$2 work=$3
  timeout 45 "$browser" --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --virtual-time-budget="$budget" \
    --dump-dom "$url" >"$work/dom.html" 2>"$work/browser.log" || {
    echo "chromium failed:"; tail -n 20 "$work/browser.log"; exit 1; }
  dom=$work/dom.html
  shown_all=1
}

expect_shown() {
  if grep -qE -- "$1" "$dom"; then echo "shown: $1"; else echo "NOT shown: $1"; shown_all=; fi
}
