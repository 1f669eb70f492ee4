#!/usr/bin/env bash
# Checks the export table of w_pclog.dll: a 32-bit (PE32, i386) DLL whose
# exported names are exactly the exports the header declares, by their plain
# names (no stdcall @N decoration), and which needs no MinGW runtime DLL
# (libgcc_s_*, libstdc++-*, libwinpthread-*) beside it.
#
#   check_exports.sh W_PCLOG_DLL W_PCLOG_H
set -euo pipefail
dll=$1 header=$2
objdump=$(command -v i686-w64-mingw32-objdump || command -v objdump) ||
  { echo "no objdump" >&2; exit 2; }
[[ -f $dll ]] || { echo "missing $dll" >&2; exit 2; }

fail=0
headers=$("$objdump" -p "$dll")
grep -q 'file format pei-i386' <<<"$headers" || { echo "not a pei-i386 image"; fail=1; }
grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers" || { echo "not PE32"; fail=1; }

# The name table: the lines after "[Ordinal/Name Pointer] Table" that read
# "[  n] name", up to the first blank line.
exported=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
                on && /^[[:space:]]*$/ { exit }
                on && /^[[:space:]]*\[ *[0-9]+\]/ { print $NF }' <<<"$headers" | sort)
# Declarations read "<type> WPCLOG_CALL _NAME(", possibly across lines.
declared=$(tr '\n' ' ' <"$header" | grep -oE 'WPCLOG_CALL[[:space:]]+_[A-Za-z0-9_]+[[:space:]]*\(' |
           sed -E 's/WPCLOG_CALL[[:space:]]+//; s/[[:space:]]*\($//' | sort)
[[ -n $declared ]] || { echo "no exports declared in $header"; fail=1; }

missing=$(comm -23 <(echo "$declared") <(echo "$exported"))
extra=$(comm -13 <(echo "$declared") <(echo "$exported"))
[[ -z $missing ]] || { echo "declared but not exported:" $missing; fail=1; }
[[ -z $extra ]] || { echo "exported but not declared:" $extra; fail=1; }
runtime=$(awk '/DLL Name:/ { print $3 }' <<<"$headers" | grep -i '^lib' || true)
[[ -z $runtime ]] || { echo "imports MinGW runtime DLLs:" $runtime; fail=1; }
dupes=$(uniq -d <<<"$exported")
[[ -z $dupes ]] || { echo "exported twice:" $dupes; fail=1; }

if [[ $fail -eq 0 ]]; then
  echo "w_pclog.dll: PE32 i386, $(wc -l <<<"$exported") exports, as declared"
fi
exit $fail
