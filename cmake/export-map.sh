#!/bin/sh
# export-map.sh OUT DIR...: writes OUT, the linker version script that
# exports exactly the symbols listed in DIR/*.txt (demangled, one a line, as
# nm -C prints them; lines starting with # and empty lines are skipped).
#
# One anonymous version node, so the symbols carry no version. Every name
# goes in the extern "C++" block, quoted so that it is matched literally
# (names hold '*', '[' and '?'): GNU ld matches a pattern there against the
# demangled name, and against the name itself when it does not demangle, so
# a C function or a global variable ("which", "parse_json") matches as
# written as well. OUT is rewritten only when it changes, so a configure
# run does not relink the library.
out=$1
shift
tmp=$out.tmp
{
  printf '{\n  global:\n    extern "C++" {\n'
  for dir; do
    for f in "$dir"/*.txt; do
      [ -f "$f" ] || continue
      while IFS= read -r want; do
        case "$want" in
          '' | '#'*) continue ;;
          # ld's quoted patterns have no escapes.
          *'"'*)
            echo "$f: a name with a quote cannot be exported: $want" >&2
            exit 1
            ;;
        esac
        printf '      "%s";\n' "$want"
      done < "$f"
    done
  done
  printf '    };\n  local: *;\n};\n'
} > "$tmp" || { rm -f "$tmp"; exit 1; }
if cmp -s "$tmp" "$out"; then
  rm -f "$tmp"
else
  mv "$tmp" "$out"
fi
