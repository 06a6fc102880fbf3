#!/bin/sh
# check_exports_test.sh CHECK NM LIB SYMBOL DIR...: the export check CHECK
# (cmake/check-exports.sh) passes on LIB with its lists DIR..., fails naming
# SYMBOL when the lists leave that exported symbol out, and fails naming a
# listed symbol that LIB does not export.
check=$1 nm_tool=$2 lib=$3 symbol=$4
shift 4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
i=0
dirs=""
for d; do
  i=$((i + 1))
  mkdir "$tmp/$i"
  cp "$d"/*.txt "$tmp/$i"/
  dirs="$dirs $tmp/$i"
done
fail() {
  echo "FAIL: $*"
  exit 1
}

sh "$check" "$nm_tool" "$lib" $dirs > "$tmp/out" || { cat "$tmp/out"; fail "the lists as they are do not pass"; }

grep -lx -- "$symbol" "$tmp"/*/*.txt > "$tmp/holder" || fail "$symbol is on no list"
holder=$(head -n 1 "$tmp/holder")
cp "$holder" "$tmp/saved"
grep -vx -- "$symbol" "$tmp/saved" > "$holder"
if sh "$check" "$nm_tool" "$lib" $dirs > "$tmp/out"; then
  fail "passed with $symbol left out of the lists"
fi
grep -Fx -- "exported but not listed: $symbol" "$tmp/out" || { cat "$tmp/out"; fail "no message names $symbol"; }
cp "$tmp/saved" "$holder"

missing="no_such_symbol_of_the_library(int)"
echo "$missing" > "$tmp/1/extra.txt"
if sh "$check" "$nm_tool" "$lib" $dirs > "$tmp/out"; then
  fail "passed with $missing listed"
fi
grep -Fx -- "not exported: $missing" "$tmp/out" || { cat "$tmp/out"; fail "no message names $missing"; }
echo "the export check fails on an unlisted and on a missing export"
