#!/usr/bin/env bash
# The README's list of exports, from the comments of include/w_pclog.h: each
# comment that leads a group of declarations becomes a paragraph, and each
# declaration a line with its arguments and the comment beside it.
#   tools/export_list.sh W_PCLOG_H                   print the list
#   tools/export_list.sh W_PCLOG_H --check README    fail when README's list differs
#   tools/export_list.sh W_PCLOG_H --write README    put the list into README
# In README the list stands between the lines "<!-- exports: begin -->" and
# "<!-- exports: end -->".
set -euo pipefail
header=${1:?usage: export_list.sh W_PCLOG_H [--check|--write README]}
list() {
awk '
  function flush_comment() { comment = ""; }
  function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
  # A comment: gather it, without the stars, as one line of text.
  !in_decl && /^[ \t]*\/\*/ {
    text = $0
    while (text !~ /\*\//) { if ((getline line) <= 0) break; text = text " " line }
    sub(/^[ \t]*\/\*+/, "", text); sub(/\*+\/.*$/, "", text)
    gsub(/[ \t]\*[ \t]/, " ", text); gsub(/[ \t]+/, " ", text)
    comment = trim(text)
    next
  }
  /WPCLOG_CALL[ \t]+_[A-Z0-9_]+[ \t]*\(/ || in_decl {
    decl = in_decl ? decl " " $0 : $0
    if (decl !~ /\);/) { in_decl = 1; next }
    in_decl = 0
    if (comment != "") { printf "%s%s\n\n", (printed ? "\n" : ""), comment; comment = "" }
    printed = 1
    name = decl; sub(/^.*WPCLOG_CALL[ \t]+/, "", name); sub(/[ \t]*\(.*$/, "", name)
    args = decl; sub(/^[^(]*\(/, "", args); sub(/\);.*$/, "", args)
    n = split(args, parts, ",")
    list = ""
    for (i = 1; i <= n; i++) {
      a = trim(parts[i]); sub(/^.*[ \t*]/, "", a)
      list = list (i > 1 ? ", " : "") a
    }
    note = ""
    if (decl ~ /\/\*.*\*\//) { note = decl; sub(/^.*\/\*[ \t]*/, "", note); sub(/[ \t]*\*\/.*$/, "", note) }
    printf "- `%s(%s)`%s\n", name, list, (note != "" ? ": " note : "")
    next
  }
  /^[ \t]*$/ { next }
  { comment = "" }
' "$header"
}
begin='<!-- exports: begin -->' end='<!-- exports: end -->'
# README with the list between the markers replaced by `list`.
with_list() {
  awk -v begin="$begin" -v end="$end" -v listfile="$1" '
    $0 == begin { print; while ((getline l < listfile) > 0) print l; skip = 1; next }
    $0 == end { skip = 0 }
    !skip { print }' "$2"
}
case ${2:-} in
  "") list ;;
  --check|--write)
    readme=${3:?README missing}
    grep -qxF "$begin" "$readme" && grep -qxF "$end" "$readme" ||
      { echo "$readme has no $begin ... $end"; exit 1; }
    tmp=$(mktemp) && trap 'rm -f "$tmp" "$tmp.new"' EXIT
    { echo; list; echo; } >"$tmp"
    with_list "$tmp" "$readme" >"$tmp.new"
    if [[ $2 == --write ]]; then
      cat "$tmp.new" >"$readme"
    elif ! diff -u "$readme" "$tmp.new"; then
      echo "the export list of $readme differs from $header: run make readme"
      exit 1
    fi ;;
  *) echo "unknown option $2"; exit 2 ;;
esac
