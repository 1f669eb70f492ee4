#!/usr/bin/env bash
# Checks the export table of w_pclog.dll: a DLL of the given processor (PE32
# i386 by default, PE32+ x86-64 for x86_64) whose exported names are exactly
# the exports the header declares, by their plain names (no stdcall @N
# decoration), and which imports the system's own DLLs only (no MinGW
# runtime, libgcc_s_*, libstdc++-*, libwinpthread-*, beside it).
#
#   check_exports.sh W_PCLOG_DLL W_PCLOG_H [i686|x86_64]
set -euo pipefail
dll=$1 header=$2 arch=${3:-i686}
case $arch in
  i686) format=pei-i386 magic='010b[[:space:]]+\(PE32\)' kind="PE32 i386" ;;
  x86_64) format=pei-x86-64 magic='020b[[:space:]]+\(PE32\+\)' kind="PE32+ x86-64" ;;
  *) echo "unknown processor $arch" >&2; exit 2 ;;
esac
objdump=$(command -v "$arch-w64-mingw32-objdump" || command -v objdump) ||
  { echo "no objdump" >&2; exit 2; }
[[ -f $dll ]] || { echo "missing $dll" >&2; exit 2; }

fail=0
headers=$("$objdump" -p "$dll")
grep -q "file format $format" <<<"$headers" || { echo "not a $format image"; fail=1; }
grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers" || { echo "not $kind"; fail=1; }

# The name table: the lines after "[Ordinal/Name Pointer] Table" that read
# "[  n] name", up to the first blank line.
exported=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
                on && /^[[:space:]]*$/ { exit }
                on && /^[[:space:]]*\[ *[0-9]+\]/ { print $NF }' <<<"$headers" | sort)
declared=$(python3 "$(dirname "$0")/../../tools/bindings_from_header.py" --header "$header" \
  --arguments | cut -d' ' -f1 | sort)
[[ -n $declared ]] || { echo "no exports declared in $header"; fail=1; }

missing=$(comm -23 <(echo "$declared") <(echo "$exported"))
extra=$(comm -13 <(echo "$declared") <(echo "$exported"))
[[ -z $missing ]] || { echo "declared but not exported:" $missing; fail=1; }
[[ -z $extra ]] || { echo "exported but not declared:" $extra; fail=1; }
# The system's own DLLs only: anything else (a MinGW runtime, a C++
# library) would have to ship beside it.
while read -r imported; do
  case ${imported,,} in
    kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | ws2_32.dll | winmm.dll | advapi32.dll | \
      msvcrt.dll | shell32.dll | ole32.dll | version.dll | api-ms-win-*.dll) ;;
    *) echo "imports $imported, which is not a system DLL"; fail=1 ;;
  esac
done < <(awk '/DLL Name:/ { print $3 }' <<<"$headers")
dupes=$(uniq -d <<<"$exported")
[[ -z $dupes ]] || { echo "exported twice:" $dupes; fail=1; }

if [[ $fail -eq 0 ]]; then
  echo "w_pclog.dll: $kind, $(wc -l <<<"$exported") exports, as declared"
fi
exit $fail
