#!/usr/bin/env bash
# Proves the 32-bit DLL's calling convention from the file: for every export
# the header declares, the code at the export's address returns with
# "ret N" where N is 4 times its argument count (stdcall: the callee removes
# its arguments, 4 bytes each, as every argument is a 32-bit integer or a
# pointer). A host built from the header would otherwise leave its stack
# unbalanced after each call.
#
#   check_stdcall.sh W_PCLOG_DLL W_PCLOG_H
#
# The return is read from the disassembly: the first ret from the export's
# address on, following a tail jump when one comes first.
set -euo pipefail
dll=$1 header=$2
here=$(cd "$(dirname "$0")" && pwd)
objdump=$(command -v i686-w64-mingw32-objdump) || { echo "no i686-w64-mingw32-objdump" >&2; exit 2; }
[[ -f $dll ]] || { echo "missing $dll" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The file's kind and its imports are check_exports.sh's to prove.
"$objdump" -p "$dll" >"$work/headers"
fail=0

# "NAME VA" for each exported name: the name table gives each name's index
# in the address table, which gives its RVA.
base=$(awk '/^ImageBase/ { print $2 }' "$work/headers")
gawk -v base=$((16#$base)) '
  /^Export Address Table -- Ordinal Base/ { eat = 1; next }
  eat && /^[[:space:]]*$/ { eat = 0 }
  eat && /Export RVA/ { gsub(/[][]/, " "); rva[$1] = $4 }
  /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
  names && /^[[:space:]]*$/ { names = 0 }
  names && /^[[:space:]]*\[ *[0-9]+\]/ { line = $0; gsub(/[][]/, " ", line); split(line, f, " "); index_of[f[2]] = f[1] }
  END { for (n in index_of) printf "%s %x\n", n, base + strtonum("0x" rva[index_of[n]]) }
' "$work/headers" | sort >"$work/addresses"

"$objdump" -d --no-show-raw-insn "$dll" >"$work/code"
python3 "$here/../../tools/bindings_from_header.py" --header "$header" --arguments >"$work/declared"

# For each export: the first ret from its address on, following jmp.
gawk '
  FILENAME == ARGV[1] { names[++exports] = $1; start[exports] = $2; next }
  FILENAME == ARGV[2] {
    if (match($0, /^ *([0-9a-f]+):\t/, m)) { n++; addr[n] = m[1]; text[n] = $0; at[m[1]] = n }
    next
  }
  END {
    for (e = 1; e <= exports; e++) {
      i = at[start[e]]; hops = 0; result = "none"
      while (i && hops < 4) {
        for (; i <= n; i++) {
          if (text[i] ~ /\tret[l]? *\$0x[0-9a-f]+/) { match(text[i], /\$0x([0-9a-f]+)/, r); result = strtonum("0x" r[1]); break }
          if (text[i] ~ /\tret[l]? *$/) { result = 0; break }
          if (text[i] ~ /\tjmp +0x[0-9a-f]+ *$/ || text[i] ~ /\tjmp +[0-9a-f]+ </) {
            match(text[i], /jmp +(0x)?([0-9a-f]+)/, j); i = at[j[2]]; hops++; break
          }
        }
        if (result != "none" || !i) break
      }
      print names[e], result
    }
  }
' "$work/addresses" "$work/code" | sort >"$work/returns"

while read -r name args; do
  got=$(awk -v n="$name" '$1 == n { print $2 }' "$work/returns")
  if [[ -z $got ]]; then
    echo "$name: declared but not exported"
    fail=1
  elif [[ $got == none ]]; then
    echo "$name: no ret found at its address"
    fail=1
  elif ((got != 4 * args)); then
    echo "$name: returns with ret $got, but the header gives it $args arguments (ret $((4 * args)))"
    fail=1
  fi
done <"$work/declared"

if [[ $fail -eq 0 ]]; then
  echo "w_pclog.dll: $(wc -l <"$work/declared") exports each removing 4 bytes an argument"
fi
exit $fail
