#!/bin/sh
# router-check.sh CHECKS STATE ROUTER-RUN [router-run options] -- PROGRAM [ARGS...]
# Runs PROGRAM in a fresh virtual router and checks what it did against the
# file CHECKS, one check a line:
#   exit N         the program's exit status is N (without this line: 0)
#   match REGEX    a line of its output (standard output and error) matches
#                  the extended regular expression
#   pixel X Y V    pixel (X, Y) of the LCD's visible screen has the RGB565
#                  value V (decimal or 0x...) when the program has ended
# STATE is a folder whose files are copied into the router's /sim/state
# before it starts (a pen script "pen", "servers/zwave.pairing", ...), or -.
# The output is printed; the exit status is 0 when every check holds.
# halvix_add_router_test() of the CMake package writes the CHECKS file.
set -u
[ $# -ge 4 ] || {
  echo "usage: router-check.sh CHECKS STATE ROUTER-RUN [options] -- PROGRAM [ARGS...]" >&2
  exit 2
}
checks=$1 seed=$2
shift 2
[ -r "$checks" ] || {
  echo "router-check: no checks file $checks" >&2
  exit 2
}
state=$(mktemp -d "${TMPDIR:-/tmp}/router-check.XXXXXX") || exit 2
trap 'rm -rf "$state"' EXIT
mkdir -p "$state/sim"
if [ "$seed" != - ]; then
  cp -R "$seed/." "$state/sim/" || exit 2
fi

# The run keeps its state here: --state goes in before the first "--".
n=$# put=0
while [ "$n" -gt 0 ]; do
  a=$1
  shift
  n=$((n - 1))
  if [ "$put" = 0 ] && [ "$a" = -- ]; then
    set -- "$@" --state "$state" --
    put=1
  else
    set -- "$@" "$a"
  fi
done
[ "$put" = 1 ] || {
  echo "router-check: no -- before the program" >&2
  exit 2
}

out=$state/output
"$@" >"$out" 2>&1
rc=$?
cat "$out"

failed=0
fail() {
  echo "router-check: FAIL: $*"
  failed=1
}
want=0
fb=$state/sim/lcd.fb
while IFS= read -r line || [ -n "$line" ]; do
  kind=${line%% *}
  arg=${line#* }
  case "$kind" in
    exit) want=$arg ;;
    match) grep -Eq -- "$arg" "$out" || fail "no line matches: $arg" ;;
    pixel)
      set -- $arg
      if [ $# -ne 3 ]; then
        fail "bad pixel check: $arg"
      elif [ ! -f "$fb" ]; then
        fail "pixel ($1, $2): the program drew nothing (no $fb)"
      else
        # The frame buffer file: a 64-byte header, then 320 x 240 pixels of
        # 16-bit little-endian words (this machine's order too).
        off=$((64 + ($2 * 320 + $1) * 2))
        got=$(od -An -tu2 -j "$off" -N 2 "$fb" | tr -d ' ')
        [ "$got" = "$(($3))" ] || fail "pixel ($1, $2) is $got, not $(($3))"
      fi
      ;;
    '') ;;
    *) fail "unknown check: $line" ;;
  esac
done <"$checks"
[ "$rc" = "$want" ] || fail "exit status $rc, not $want"
[ "$failed" = 0 ] && echo "router-check: passed"
exit "$failed"
