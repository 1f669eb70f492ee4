#!/usr/bin/env bash
# The zip for Windows integrators: both DLLs, the header, their export
# tables and a short text on loading them.
#
#   windows_package.sh WIN32_BUILD_DIR WIN64_BUILD_DIR OUT_DIR
#
# writes OUT_DIR/w_pclog-windows-VERSION.zip and prints its path.
set -euo pipefail
win32=$1 win64=$2 out=$3
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -nE 's/^project\(w_pclog VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
for f in "$win32/w_pclog.dll" "$win32/w_pclog.def" "$win64/w_pclog.dll" "$win64/w_pclog.def"; do
  [[ -f $f ]] || { echo "missing $f: build both Windows trees first (make build)" >&2; exit 2; }
done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
name=w_pclog-windows-$version
mkdir -p "$stage/$name/x86" "$stage/$name/x64"
cp "$win32/w_pclog.dll" "$win32/w_pclog.def" "$stage/$name/x86/"
cp "$win64/w_pclog.dll" "$win64/w_pclog.def" "$stage/$name/x64/"
cp "$root/include/w_pclog.h" "$stage/$name/"
sed "s/@VERSION@/$version/g" "$root/tools/windows_package.txt" >"$stage/$name/LOADING.txt"
mkdir -p "$out"
zip="$(cd "$out" && pwd)/$name.zip"
rm -f "$zip"
(cd "$stage" && zip -qr -X "$zip" "$name")
echo "$zip"
