#!/usr/bin/env bash
# Makes the zip for Windows integrators and opens it: both DLLs where the
# text says, each of its processor with the header's exports, and the
# header, the export tables and the text beside them.
#
#   check_windows_zip.sh WIN32_BUILD_DIR WIN64_BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
win32=$(cd "$1" && pwd) win64=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
zip=$("$root/tools/windows_package.sh" "$win32" "$win64" "$work")
unzip -q "$zip" -d "$work/open"
top=$(ls "$work/open")
cd "$work/open/$top"
fail=0
for f in x86/w_pclog.dll x86/w_pclog.def x64/w_pclog.dll x64/w_pclog.def w_pclog.h LOADING.txt; do
  [[ -f $f ]] || { echo "the zip lacks $top/$f"; fail=1; }
done
[[ $fail -eq 0 ]] || exit 1
"$root/tests/wine/check_exports.sh" x86/w_pclog.dll w_pclog.h i686 || fail=1
"$root/tests/wine/check_exports.sh" x64/w_pclog.dll w_pclog.h x86_64 || fail=1
cmp -s x86/w_pclog.dll "$win32/w_pclog.dll" || { echo "x86/w_pclog.dll is not the 32-bit build"; fail=1; }
cmp -s x64/w_pclog.dll "$win64/w_pclog.dll" || { echo "x64/w_pclog.dll is not the 64-bit build"; fail=1; }
grep -q '_DOWNLOAD = _DOWNLOAD@8' x86/w_pclog.def || { echo "x86/w_pclog.def has no stdcall aliases"; fail=1; }
grep -q '@' x64/w_pclog.def && { echo "x64/w_pclog.def has stdcall aliases"; fail=1; }
[[ $fail -eq 0 ]] && echo "$(basename "$zip"): both DLLs, header, tables and text"
exit $fail
