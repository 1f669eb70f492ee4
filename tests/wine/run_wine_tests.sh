#!/usr/bin/env bash
# Runs the Windows build under Wine: wine_host.exe calls the exports of
# w_pclog.dll, wine_platform.exe the Win32 platform layer, both against
# pclog-sim terminals on ptys that the prefix sees as com ports.
#
#   run_wine_tests.sh WINDOWS_BUILD_DIR PCLOG_SIM
#
# The DLL's own header says which Wine runs it: a 64-bit build runs under
# the 64-bit loader, which needs no 32-bit parts of the system; a 32-bit
# build needs the 32-bit loader and a kernel that executes 32-bit x86
# programs, and is reported skipped (77), never passed, where either is
# missing. Each program lists its cases with what they need ("com4 --baud
# 19200", "display", ...); cases that need the same are run together, with
# those simulators up and a fresh data folder (W_PCLOG_DIR). The Wine prefix
# lives in the build tree and is made once. Its com1..com9 are set in the
# registry to WINDOWS_BUILD_DIR/wine-ports/comN: a simulator's pty link, or
# else an empty folder, which exists (Wine falls back to /dev/ttyS<N-1> for
# a com port whose target is missing) but cannot be opened as a port. So no
# real serial device is ever opened. Under xvfb-run the windows are really
# made. Wine's own messages go to wine.log in the build tree, not to the
# output. The last line is "N passed, M failed".
set -uo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 WINDOWS_BUILD_DIR PCLOG_SIM" >&2
  exit 2
fi
build=$(cd "$1" && pwd) || exit 2
sim=$(realpath "$2") || exit 2
programs=(wine_host.exe wine_platform.exe)
for f in w_pclog.dll "${programs[@]}"; do
  [[ -f $build/$f ]] || { echo "missing $build/$f: build the Windows tree first" >&2; exit 2; }
done

# The machine word of the PE header (at the offset that 0x3C holds, after
# "PE\0\0"): 0x8664 x86-64, 0x014c i386.
pe_offset=$(od -An -tu4 -j60 -N4 "$build/w_pclog.dll" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$build/w_pclog.dll" | tr -d ' ')
case $machine in
  8664) loader=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver64 arch=win64 ;;
  014c) loader=/usr/lib/wine/wine server=/usr/lib/wine/wineserver32 arch=win32 ;;
  *) echo "w_pclog.dll: unknown machine $machine" >&2; exit 2 ;;
esac
if [[ ! -x $loader || ! -x $server ]]; then
  [[ $arch == win32 ]] || { echo "$loader is not installed (Debian wine64)" >&2; exit 2; }
  echo "SKIP: the 32-bit Wine loader is not installed, so the 32-bit DLL cannot be loaded"
  exit 77
fi
# The 32-bit loader runs only where the kernel executes 32-bit x86 programs;
# some virtual machines have that switched off. Nothing here can run then:
# say so and report the run as skipped (77), not as passed.
if ! why=$("$loader" --version 2>&1 >/dev/null); then
  [[ $arch == win32 ]] || { echo "$loader --version: $why" >&2; exit 2; }
  echo "SKIP: this machine does not run 32-bit programs, so the 32-bit DLL cannot be loaded under Wine"
  echo "  (wine --version: ${why:-no output})"
  exit 77
fi

# A desktop for the windows: a virtual one when there is no display.
if [[ -z ${WPL_WINE_DESKTOP:-} ]]; then
  if command -v xvfb-run >/dev/null; then
    WPL_WINE_DESKTOP=xvfb exec timeout -k 5 "${WPL_WINE_LIMIT:-290}" \
      xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
  fi
  [[ -n ${DISPLAY:-} ]] && export WPL_WINE_DESKTOP=display || export WPL_WINE_DESKTOP=none
fi

export WINEPREFIX=$build/wine-prefix WINEARCH=$arch WINEDEBUG=-all
# No prompts to install Mono or Gecko: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
ports=$build/wine-ports
work=$(mktemp -d /tmp/wpl-wine.XXXXXX)
sim_pids=()

# Ends the simulators and puts the absent ports' folders back.
stop_sims() {
  local pid n
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${sim_pids[@]}"; do wait "$pid" 2>/dev/null; done
  sim_pids=()
  for n in 1 2 3 4 5 6 7 8 9; do
    [[ -L $ports/com$n ]] && rm -f "$ports/com$n"
    mkdir -p "$ports/com$n"
  done
}
cleanup() {
  stop_sims
  timeout 10 "$server" -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# One run at a time per prefix.
exec 9>"$build/wine-prefix.lock"
flock -w 120 9 || { echo "the Wine prefix stays locked" >&2; exit 1; }

# The prefix, made once: wineboot, then com1..com9 pointed at our links, and
# windows left unmanaged: with no window manager on the virtual desktop Wine
# would wait 2 s for one at every window it takes down.
stop_sims
stamp=$WINEPREFIX/.wpl-setup
setup_id="ports=$ports unmanaged"
if [[ ! -f $stamp || $(cat "$stamp") != "$setup_id" ]]; then
  echo "making the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  timeout 180 "$loader" wineboot -i </dev/null >"$work/wineboot.log" 2>&1 ||
    { cat "$work/wineboot.log"; echo "wineboot failed" >&2; exit 1; }
  {
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
    for n in 1 2 3 4 5 6 7 8 9; do printf '"COM%d"="%s/com%d"\n' "$n" "$ports" "$n"; done
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n'
  } >"$work/setup.reg"
  timeout 60 "$loader" regedit /S "$work/setup.reg" </dev/null >>"$work/wineboot.log" 2>&1
  timeout 60 "$server" -w
  echo "$setup_id" >"$stamp"
fi

# A server that outlives each program briefly, so the runs below share it,
# and ends on its own should this script be killed.
timeout 10 "$server" -k >/dev/null 2>&1
"$server" -p10 </dev/null >/dev/null 2>&1

cd "$work" || exit 1
# The cases: "PROGRAM<TAB>CASE<TAB>SETUP" lines. The first run also starts
# the prefix's services, which make the com links from the registry.
for p in "${programs[@]}"; do
  timeout 60 "$loader" "$build/$p" --list </dev/null >"$work/list" 2>"$work/list.err" ||
    { cat "$work/list" "$work/list.err"; echo "$p --list failed" >&2; exit 1; }
  tr -d '\r' <"$work/list" | sed "s|^|$p\t|" >>"$work/cases"
done

# com1..com9 must lead into $ports, and no other com port may exist.
ok=
for _ in $(seq 100); do
  ok=1
  for n in 1 2 3 4 5 6 7 8 9; do
    [[ $(readlink "$WINEPREFIX/dosdevices/com$n") == "$ports/com$n" ]] || ok=
  done
  [[ -n $ok ]] && break
  sleep 0.1
done
[[ -n $ok ]] || { ls -l "$WINEPREFIX/dosdevices" >&2; echo "com ports not mapped" >&2; exit 1; }
for link in "$WINEPREFIX"/dosdevices/com*; do
  [[ $(readlink "$link") == "$ports"/* ]] || rm -f "$link"
done

# Starts the simulators a setup names; sets $display (yes/no). They run in
# the group's data folder, so that files a setup names (--save-records F) are
# found there by the cases.
start_setup() {
  local setup=$1 part n opts i
  display=yes
  IFS=';' read -ra parts <<<"$setup"
  for part in "${parts[@]}"; do
    read -r part <<<"$part"  # trims
    case $part in
      '') ;;
      display | bench) ;;
      nodisplay) display=no ;;
      kill-after\ *)
        # "kill-after MS": the simulator started last ends after MS ms,
        # taking its pty away from under the port (a USB adapter pulled).
        n=${part#kill-after }
        (sleep "$(printf '%d.%03d' $((n / 1000)) $((n % 1000)))"; kill "${sim_pids[-1]}" 2>/dev/null) &
        ;;
      com[1-9]*)
        n=${part:3:1}
        read -ra opts <<<"${part:4}"
        rmdir "$ports/com$n"
        (cd "$data" && exec "$sim" --link "$ports/com$n" "${opts[@]}") </dev/null >"$work/sim-com$n.log" 2>&1 &
        sim_pids+=($!)
        for i in $(seq 200); do [[ -L $ports/com$n ]] && break; sleep 0.025; done
        [[ -L $ports/com$n ]] || { cat "$work/sim-com$n.log"; return 1; }
        ;;
      tcp\ *)
        # "tcp ADDRESS[,FAULT]": a network terminal on port 1024 of a
        # loopback address.
        n=${#sim_pids[@]}
        read -ra opts <<<"${part:4}"
        rm -f "$work/tcp-ready$n"
        (cd "$data" && exec "$sim" --tcp "${opts[@]}" --ready "$work/tcp-ready$n") </dev/null >"$work/sim-tcp$n.log" 2>&1 &
        sim_pids+=($!)
        for i in $(seq 200); do [[ -e $work/tcp-ready$n ]] && break; sleep 0.025; done
        [[ -e $work/tcp-ready$n ]] || { cat "$work/sim-tcp$n.log"; return 1; }
        ;;
      *) echo "unknown setup: $part" >&2; return 1 ;;
    esac
  done
}

passed=0 failed=0 group=0
while IFS=$'\t' read -r program setup; do
  mapfile -t names < <(awk -F'\t' -v p="$program" -v s="$setup" '$1 == p && $3 == s { print $2 }' "$work/cases")
  group=$((group + 1))
  data=$work/data$group
  mkdir -p "$data"
  # Benchmarks (setup "bench; ...") run alone, when WPL_WINE_BENCH=1 asks
  # for them, and never among the tests.
  is_bench= want_bench=
  [[ $setup == bench* ]] && is_bench=1
  [[ ${WPL_WINE_BENCH:-} == 1 ]] && want_bench=1
  [[ $is_bench == "$want_bench" ]] || continue
  if [[ $setup == *display* && $setup != *nodisplay* && $WPL_WINE_DESKTOP == none ]]; then
    for name in "${names[@]}"; do echo "SKIP $name: no desktop"; done
    continue
  fi
  if ! start_setup "$setup"; then
    for name in "${names[@]}"; do echo "FAIL $name: setup \"$setup\" did not start"; done
    failed=$((failed + ${#names[@]}))
    stop_sims
    continue
  fi
  env_args=(W_PCLOG_DIR="Z:${data//\//\\}\\")
  [[ $display == no ]] && env_args=(-u DISPLAY "${env_args[@]}")
  limit=120
  [[ $setup == bench* ]] && limit=600
  env "${env_args[@]}" timeout -k 5 $limit "$loader" "$build/$program" "${names[@]}" \
    </dev/null >"$work/out" 2>>"$build/wine.log"
  status=$?
  stop_sims
  tr -d '\r' <"$work/out" | grep -v -E '^[0-9]+ passed, [0-9]+ failed$'
  summary=$(tr -d '\r' <"$work/out" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1)
  if [[ -n $summary ]]; then
    read -r p _ f _ <<<"$summary"
    passed=$((passed + p))
    failed=$((failed + f))
  else
    echo "FAIL $program ${names[*]}: ended with status $status and no result"
    failed=$((failed + ${#names[@]}))
  fi
done < <(cut -f1,3 "$work/cases" | awk '!seen[$0]++')

echo "$passed passed, $failed failed"
[[ $failed -eq 0 && $passed -gt 0 ]]
