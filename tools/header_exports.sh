#!/usr/bin/env bash
# The exports the header declares, as the one list every export table is made
# from:
#   header_exports.sh W_PCLOG_H               "NAME ARGUMENTS" a line
#   header_exports.sh W_PCLOG_H --def i686    the .def of the 32-bit DLL
#   header_exports.sh W_PCLOG_H --def x86_64  the .def of the 64-bit DLL
#   ... --def ARCH OUT                        written to OUT instead
# Every argument of an export is a 32-bit integer or a pointer, so on i686
# the stdcall callee removes 4 bytes a argument: the 32-bit .def exports each
# plain name as an alias of the compiler's "_NAME@4N" symbol. On x86-64 there
# is one calling convention and no decoration: the names stand as they are.
set -euo pipefail
header=${1:?usage: header_exports.sh W_PCLOG_H [--def i686|x86_64]}
list=$(tr '\n' ' ' <"$header" |
  grep -oE 'WPCLOG_CALL[[:space:]]+_[A-Za-z0-9_]+[[:space:]]*\([^)]*\)' |
  sed -E 's/^WPCLOG_CALL[[:space:]]+//' |
  awk '{
    name = $0; sub(/[[:space:]]*\(.*$/, "", name)
    args = $0; sub(/^[^(]*\(/, "", args); sub(/\)$/, "", args)
    gsub(/^[[:space:]]+|[[:space:]]+$/, "", args)
    n = (args == "" || args == "void") ? 0 : split(args, parts, ",")
    print name, n
  }' | sort)
[[ -n $list ]] || { echo "no exports declared in $header" >&2; exit 1; }
case ${2:-} in
  '') echo "$list" ;;
  --def)
    [[ -n ${4:-} ]] && exec >"$4"
    echo "LIBRARY w_pclog"
    echo "EXPORTS"
    case ${3:-} in
      i686) awk '{ printf "  %s = %s@%d\n", $1, $1, 4 * $2 }' <<<"$list" ;;
      x86_64) awk '{ printf "  %s\n", $1 }' <<<"$list" ;;
      *) echo "header_exports.sh: --def i686 or --def x86_64" >&2; exit 2 ;;
    esac
    ;;
  *) echo "header_exports.sh: unknown option ${2}" >&2; exit 2 ;;
esac
