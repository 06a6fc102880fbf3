#!/bin/sh
# check-exports.sh [--listed-only] NM LIB DIR...: the dynamic symbol table
# of LIB, demangled as nm -C prints it, holds exactly the lines of the
# DIR/*.txt files (lines starting with # and empty lines are skipped): a
# listed symbol that is not exported fails, and so does an exported symbol
# that is not listed. With --listed-only (the stand-ins of outside libraries,
# whose whole interface is not ours) only the first is checked.
#
# Nothing is ignored: built with hidden visibility and the version script of
# its lists (export-map.sh), a library of ours defines no dynamic symbol
# beyond them on the host or the mipsel toolchain, in the plain, sanitizer
# and fuzz builds alike (no version node, no _init/_fini, no _gp_disp: nm
# -D --defined-only shows none of them).
two_way=1
if [ "$1" = --listed-only ]; then
  two_way=0
  shift
fi
nm_tool=$1 lib=$2
shift 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
LC_ALL=C
export LC_ALL
"$nm_tool" -D -C --defined-only "$lib" > "$tmp/nm" || exit 1
# Constructors and destructors are there twice (complete and base object).
sed 's/^[0-9a-fA-F]* [A-Za-z] //' "$tmp/nm" | sort -u > "$tmp/exported"
for dir; do
  for f in "$dir"/*.txt; do
    [ -f "$f" ] || continue
    grep -v -e '^#' -e '^$' "$f"
  done
done | sort -u > "$tmp/listed"
comm -13 "$tmp/exported" "$tmp/listed" | sed 's/^/not exported: /' > "$tmp/missing"
: > "$tmp/unlisted"
if [ "$two_way" = 1 ]; then
  comm -23 "$tmp/exported" "$tmp/listed" | sed 's/^/exported but not listed: /' > "$tmp/unlisted"
fi
cat "$tmp/missing" "$tmp/unlisted"
missing=$(wc -l < "$tmp/missing")
unlisted=$(wc -l < "$tmp/unlisted")
echo "$(wc -l < "$tmp/listed") listed, $(wc -l < "$tmp/exported") exported: $missing missing, $unlisted not listed"
[ "$missing" -eq 0 ] && [ "$unlisted" -eq 0 ]
