#!/bin/sh
# The C and C++ sources are clean under the tree's formatter (.clang-format).
#   cmake/check-format.sh        lists what is not, exits 1 if anything is not
#   cmake/check-format.sh --fix  formats the files in place
set -eu
cd "$(dirname "$0")/.."
FORMAT=${CLANG_FORMAT:-clang-format-14}
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  files=$(git ls-files '*.c' '*.cpp' '*.h')
else
  files=$(find . \( -path ./build -o -path ./.cache \) -prune -o \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print)
fi
if [ "${1:-}" = --fix ]; then
  echo "$files" | xargs "$FORMAT" -i
  exit 0
fi
bad=0
for f in $files; do
  "$FORMAT" --dry-run -Werror "$f" >/dev/null 2>&1 || { echo "not formatted: $f"; bad=1; }
done
[ "$bad" = 0 ] && echo "format: every source clean"
exit "$bad"
