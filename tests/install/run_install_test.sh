#!/usr/bin/env bash
# Installs a build into a fresh prefix and builds the example C host
# (examples/c-host) against it twice: through find_package(w_pclog) and
# through pkg-config. Both hosts must run, one of them downloading the
# installed pclog-sim's network terminal, and the library must carry its
# SONAME.
set -euo pipefail
build=${1:?usage: run_install_test.sh BUILD_DIR SOURCE_DIR}
source=${2:?usage: run_install_test.sh BUILD_DIR SOURCE_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

lib=$(find "$prefix" -name 'libw_pclog.so.*.*' | head -n 1)
[[ -n $lib ]] || { echo "no versioned libw_pclog.so under $prefix"; exit 1; }
soname=$(objdump -p "$lib" | awk '/SONAME/ {print $2}')
[[ $soname =~ ^libw_pclog\.so\.[0-9]+$ ]] || { echo "SONAME is '$soname'"; exit 1; }
for f in include/w_pclog.h bin/pclog bin/pclog-sim; do
  [[ -e $prefix/$f ]] || { echo "missing $prefix/$f"; exit 1; }
done
libdir=$(dirname "$lib")

# The collector's service: the unit names the pclog of this prefix, keeps
# its state in /var/lib/pclog, and systemd accepts it.
unit=$prefix/lib/systemd/system/pclog-collect.service
for f in lib/systemd/system/pclog-collect.service share/doc/w-pclog/examples/site.toml \
  share/doc/w-pclog/collector-http.md; do
  [[ -s $prefix/$f ]] || { echo "missing $prefix/$f"; exit 1; }
done
for line in "ExecStart=$prefix/bin/pclog collect --config /etc/pclog/site.toml" \
  StateDirectory=pclog WorkingDirectory=/var/lib/pclog Restart=on-failure KillSignal=SIGTERM; do
  grep -qxF -- "$line" "$unit" || { echo "$unit lacks $line"; cat "$unit"; exit 1; }
done
if command -v systemd-analyze >/dev/null; then
  # It only warns of a setting it cannot parse: any word from it is a fault.
  if ! systemd-analyze verify --man=no "$unit" >"$work/verify.log" 2>&1 || [[ -s $work/verify.log ]]; then
    echo "systemd-analyze rejects $unit:"; cat "$work/verify.log"; exit 1
  fi
  echo "systemd-analyze: pclog-collect.service verified"
else
  echo "systemd-analyze not installed: the unit's check skipped"
fi

mkdir -p "$work/data-cmake" "$work/data-pc"
cmake -S "$source/examples/c-host" -B "$work/host" -DCMAKE_PREFIX_PATH="$prefix" \
  >"$work/host.log"
cmake --build "$work/host" >>"$work/host.log"
"$work/host/host" "$work/data-cmake"

export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -o "$work/host-pc" "$source/examples/c-host/main.c" $(pkg-config --cflags --libs w_pclog)
LD_LIBRARY_PATH=$libdir "$work/host-pc" "$work/data-pc"

# The same host downloading the installed simulator's network terminal.
"$prefix/bin/pclog-sim" --tcp 127.0.62.9 --records 12 --ready "$work/ready" >/dev/null 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait; rm -rf "$work"' EXIT
for _ in $(seq 500); do [[ -e $work/ready ]] && break; sleep 0.01; done
"$work/host/host" "$work/data-cmake" 127.0.62.9 | tail -n 1 | grep -x "w_pclog host: 12 records from 127.0.62.9"
echo "pkg-config: w_pclog $(pkg-config --modversion w_pclog)"
