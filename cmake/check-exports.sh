#!/bin/sh
# check-exports.sh NM LIB DIR: every line of DIR/*.txt (a demangled symbol as
# nm prints it) must be defined in the dynamic symbol table of LIB.
nm_tool=$1 lib=$2 dir=$3
syms=$(mktemp)
trap 'rm -f "$syms"' EXIT
"$nm_tool" -D -C --defined-only "$lib" | sed 's/^[0-9a-fA-F]* [A-Za-z] //' > "$syms" || exit 1
count=0 missing=0
for f in "$dir"/*.txt; do
  [ -f "$f" ] || continue
  while IFS= read -r want; do
    case "$want" in ''|'#'*) continue ;; esac
    count=$((count + 1))
    if ! grep -Fxq -- "$want" "$syms"; then
      echo "not exported: $want"
      missing=$((missing + 1))
    fi
  done < "$f"
done
echo "$count symbols checked, $missing missing"
[ "$missing" -eq 0 ]
