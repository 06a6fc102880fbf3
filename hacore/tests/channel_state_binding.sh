#!/bin/sh
# channel_state_binding.sh READELF NM LIST LIBHACORE [LIB...]: no library
# binds to the exported names of the channel's state (the non-comment lines
# of LIST, hacore/tests/exports/channel_state.txt). libhacore must reach its
# state through its hidden objects: a dynamic relocation or (on mips) a
# global GOT entry naming one of these symbols would bind it to whatever
# the process defines under that name, an application's own `int s`
# included. The other libraries must not import them at all.
readelf=$1 nm_tool=$2 list=$3 hacore=$4
shift 4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
LC_ALL=C
export LC_ALL
grep -v -e '^#' -e '^$' "$list" | sort -u > "$tmp/names"
[ -s "$tmp/names" ] || { echo "no names in $list"; exit 1; }
bad=0

# Relocations: "offset info type value name [+ addend]"; mips GOT: the
# global entries, named in the last column.
{
  "$readelf" -rW "$hacore" | awk '$1 ~ /^[0-9a-f]+$/ && NF >= 5 { print $5 }'
  "$readelf" -AW "$hacore" | awk '/Global entries:/ { g = 1; next } g && /^$/ { g = 0 } g && $1 ~ /^[0-9a-f]+$/ { print $NF }'
} | sort -u > "$tmp/bound"
for n in $(comm -12 "$tmp/names" "$tmp/bound"); do
  echo "$hacore binds to the exported name $n"
  bad=1
done

for lib; do
  "$nm_tool" -D --undefined-only "$lib" | awk '{ print $NF }' | sed 's/@.*//' | sort -u > "$tmp/imports"
  for n in $(comm -12 "$tmp/names" "$tmp/imports"); do
    echo "$lib imports the exported name $n"
    bad=1
  done
done
[ "$bad" = 0 ] && echo "$(wc -l < "$tmp/names") names, bound by none of $(($# + 1)) libraries"
exit "$bad"
