#!/bin/sh
# check-guide.sh SRC
# Every program text docs/guide.md quotes is exactly a file of the tree: a
# block marked "<!-- file: PATH -->" on the line before it holds PATH
# (relative to SRC) whole. A C++, CMake or make block without the mark is
# refused, and each .cpp of examples/app and examples/guide is quoted.
set -eu
src=$1
guide=$src/docs/guide.md
tmp=$(mktemp -d "${TMPDIR:-/tmp}/check-guide.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

awk -v dir="$tmp" '
  function flag(msg) { print "check-guide: line " NR ": " msg > "/dev/stderr"; bad = 1 }
  /^<!-- file: [^ ]+ -->$/ { name = $3; marked = NR; next }
  /^```/ {
    if (block) { block = 0; if (out) close(out); out = ""; next }
    lang = substr($0, 4)
    block = 1
    if (marked == NR - 1) {
      n++
      out = dir "/" n
      printf "" > out
      print n " " name >> (dir "/names")
    } else if (lang ~ /^(cpp|c\+\+|c|cmake|make|makefile)$/) {
      flag("a " lang " block without a file mark")
    }
    next
  }
  block && out { print > out }
  END {
    if (block) flag("a block that does not end")
    exit bad
  }
' "$guide" || exit 1

failed=0
[ -f "$tmp/names" ] || { echo "check-guide: no quoted file"; exit 1; }
while read -r n name; do
  if [ ! -f "$src/$name" ]; then
    echo "check-guide: quotes $name, which is not there"
    failed=1
  elif ! cmp -s "$src/$name" "$tmp/$n"; then
    echo "check-guide: the block of $name differs from the file:"
    diff -u "$src/$name" "$tmp/$n" | head -40
    failed=1
  fi
done <"$tmp/names"
for f in "$src"/examples/app/*.cpp "$src"/examples/guide/*.cpp; do
  rel=${f#"$src/"}
  grep -q " $rel\$" "$tmp/names" || {
    echo "check-guide: $rel is not quoted"
    failed=1
  }
done
[ "$failed" = 0 ] && echo "check-guide: $(wc -l <"$tmp/names") quoted files match"
exit "$failed"
