#!/bin/sh
# Rewrites the reference pictures of touchui_screens_test (and the font
# checksum they were drawn with) from what the toolkit draws now:
#   touchui/tests/update-references.sh [BUILD_DIR]     (default build/host)
# Look at the changed pictures (git status, an image viewer) before
# committing them.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/host}
refs=$root/touchui/tests/references
ninja -C "$build" touchui_screens_test
stamp=$(mktemp)
HALVIX_UPDATE_REFERENCES=1 ctest --test-dir "$build" -R '^touchui_screens_test$' --output-on-failure
stale=$(find "$refs" -name '*.png' ! -newer "$stamp")
rm -f "$stamp"
[ -z "$stale" ] || printf 'not drawn by the test any more (remove them?):\n%s\n' "$stale"
git -C "$root" status --short -- touchui/tests/references
