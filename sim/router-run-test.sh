#!/usr/bin/env bash
# router-run, router-panel and lcd-png as a developer meets them on the host:
# help and wrong options, commands with arguments and their files, the /out
# folder, a kept state, the hub's zone at boot, and lcd-png on a kept run,
# from the build tree and from an installed prefix.
#   router-run-test.sh BUILD SRC
set -euo pipefail
build=$1 src=$2
# Under /tmp on purpose: the sandbox makes /tmp its own, and what the
# command names of the caller's must stay reachable all the same.
work=$(mktemp -d /tmp/router-run-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cd "$work"

# expect RC OUT ERR -- command...: runs it, checks the status and that
# standard output and error contain the texts given (empty: anything).
expect() {
  local rc=$1 want_out=$2 want_err=$3; shift 4
  local got=0
  "$@" > "$work/out.txt" 2> "$work/err.txt" || got=$?
  [ "$got" = "$rc" ] || { cat "$work/out.txt" "$work/err.txt"; fail "$* exited $got, not $rc"; }
  [ -z "$want_out" ] || grep -qF -- "$want_out" "$work/out.txt" || { cat "$work/out.txt"; fail "$*: no \"$want_out\" on stdout"; }
  [ -z "$want_err" ] || grep -qF -- "$want_err" "$work/err.txt" || { cat "$work/err.txt"; fail "$*: no \"$want_err\" on stderr"; }
}

# A frame-buffer file as the LCD stand-in lays it down: the screen red above
# and blue below, off-screen buffer 2 green.
cat > fb.py <<'EOF'
import struct, sys
W, H = 320, 240
plane = W * H * 2
header = struct.pack("<16I", 0x44434C48, 1, W, H, 4, 1, 0, 0, 0, 255, 0, 0, 7, 0, 0, 0)
screen = struct.pack("<H", 0xF800) * (W * H // 2) + struct.pack("<H", 0x001F) * (W * H // 2)
buffers = bytes(2 * plane) + struct.pack("<H", 0x07E0) * (W * H) + bytes(plane)
open(sys.argv[1], "wb").write(header + screen + buffers)
EOF
# The RGB of a pixel of a PNG of lcd-png's (8-bit RGB, not interlaced).
cat > pixel.py <<'EOF'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n"
pos, idat, width = 8, b"", 0
while pos < len(data):
    n, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    if kind == b"IHDR":
        width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        assert (depth, colour) == (8, 2)
    elif kind == b"IDAT":
        idat += body
    pos += 12 + n
raw, stride, rows, prev = zlib.decompress(idat), width * 3, [], bytearray(width * 3)
for y in range(len(raw) // (stride + 1)):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - 3] if i >= 3 else 0
        b, c = prev[i], prev[i - 3] if i >= 3 else 0
        if f == 1: line[i] = (line[i] + a) & 255
        elif f == 2: line[i] = (line[i] + b) & 255
        elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(line)
    prev = line
x, y = int(sys.argv[2]), int(sys.argv[3])
print("%d %d %d" % tuple(rows[y][3 * x:3 * x + 3]))
EOF
pixel() { python3 "$work/pixel.py" "$@"; }
mkdir -p bin data
printf '#!/bin/sh\necho "X=$X pwd=$(pwd)"\nfor a in "$@"; do echo "arg <$a>"; done\n' > bin/prog
chmod +x bin/prog
echo "a file of the caller" > data/in.txt

check_entries() {  # check_entries ROUTER_RUN ROUTER_PANEL LCD_PNG
  local run=$1 panel=$2 lcdpng=$3
  # Help: every option, on standard output, status 0.
  for h in --help -h; do
    expect 0 "usage: router-run" "" -- "$run" "$h"
    for o in --target --home --state --keep --out --help; do
      grep -qF -- "$o" out.txt || fail "router-run $h does not name $o"
    done
    expect 0 "usage: router-panel" "" -- "$panel" "$h"
    for o in --port --stay --state --keep --target --home --out --help; do
      grep -qF -- "$o" out.txt || fail "router-panel $h does not name $o"
    done
    expect 0 "usage: lcd-png" "" -- "$lcdpng" "$h"
  done
  # Wrong use: the reason and the usage on standard error, status 2.
  expect 2 "" "router-run: unknown option --bogus" -- "$run" --bogus -- true
  grep -qF "usage: router-run" err.txt || fail "no usage after an unknown option"
  [ ! -s out.txt ] || fail "router-run wrote to stdout on a wrong option"
  expect 2 "" "router-run: --state needs a directory" -- "$run" --state
  expect 2 "" "router-run: --out needs a directory" -- "$run" --out= -- true
  expect 2 "" "router-run: no command" -- "$run" --home --
  expect 2 "" "router-panel: unknown option -x" -- "$panel" -x -- true
  grep -qF "usage: router-panel" err.txt || fail "no usage after an unknown panel option"
  expect 2 "" "router-panel: --port needs a number" -- "$panel" --port 80x -- true
  expect 2 "" "router-panel: --state needs a value" -- "$panel" --state
  expect 2 "" "lcd-png: name the run's state folder" -- "$lcdpng" shot.png
  expect 2 "" "lcd-png: unknown option" -- "$lcdpng" --state "$work" --bogus shot.png

  # Commands with arguments, as on a shell: through env, by a relative path,
  # with the files they name under /tmp; the command's status comes back.
  expect 0 "X=1 pwd=$work" "" -- "$run" -- env X=1 "$work/bin/prog" a 'b c' '$d*'
  grep -qxF 'arg <b c>' out.txt && grep -qxF 'arg <$d*>' out.txt || fail "arguments changed: $(cat out.txt)"
  (cd bin && expect 0 "X=2 pwd=$work/bin" "" -- "$run" -- env X=2 ./prog)
  expect 0 "a file of the caller" "" -- "$run" -- cat "$work/data/in.txt"
  expect 0 "a file of the caller" "" -- "$run" -- cat data/in.txt
  expect 0 "" "" -- "$run" -- cp /etc/hostname "$work/data/written.txt"
  [ -s "$work/data/written.txt" ] || fail "a file the command wrote to a folder of the caller's is lost"
  expect 7 "" "" -- "$run" -- sh -c 'exit 7'
  # The router's own /tmp stays private for all that.
  expect 0 "sandbox ok" "" -- "$run" -- /bin/sh "$src/sim/selftest.sh" "$work/data/in.txt"

  # --out: made if missing, /out inside, kept.
  expect 0 "" "" -- "$run" --out "$work/out1" -- sh -c 'echo kept > /out/note'
  [ "$(cat "$work/out1/note")" = kept ] || fail "/out not kept in --out DIR"
  # router-panel passes them on and ends with the command's status (its
  # server listens on a loopback: that of a sandbox around it here).
  expect 5 "the router's screen is at http://127.0.0.1:" "" -- "$run" -- "$panel" --out "$work/out2" -- \
    sh -c 'echo panel > /out/note; exit 5'
  [ "$(cat "$work/out2/note")" = panel ] || fail "router-panel --out"
  # --keep: a state folder of its own, named at the end.
  expect 0 "" "router-run: the run's state is kept in " -- "$run" --keep -- sh -c 'echo here > /sim/state/mark'
  kept=$(sed -n "s/^router-run: the run's state is kept in //p" err.txt)
  [ "$(cat "$kept/sim/mark")" = here ] || fail "--keep did not keep $kept"
  rm -rf "$kept"

  # The hub's zone: nvram "TZ" at boot, whatever the caller's TZ.
  expect 0 "08:00 EDT" "" -- env TZ=UTC "$run" -- date -d @1466510400 '+%H:%M %Z'
  expect 0 "" "" -- "$run" --state "$work/zone" -- sh -c 'nvram_set TZ JST-9'
  expect 0 "21:00 JST" "" -- "$run" --state "$work/zone" -- date -d @1466510400 '+%H:%M %Z'

  # lcd-png: inside, a relative name is in /out; from the host, on the kept
  # state, while the run goes on or after it.
  rm -rf "$work/st" "$work/shots" "$work"/*.png
  expect 0 "" "" -- "$run" --state "$work/st" --out "$work/shots" -- \
    sh -c 'python3 "$1" /sim/state/lcd.fb && lcd-png inside.png && lcd-png --buffer 2 /out/buffer.png' sh "$work/fb.py"
  [ -s "$work/shots/inside.png" ] || fail "lcd-png inside.png is not in the --out folder"
  [ "$(pixel "$work/shots/inside.png" 10 10)" = "255 0 0" ] || fail "screen top: $(pixel "$work/shots/inside.png" 10 10)"
  [ "$(pixel "$work/shots/inside.png" 300 200)" = "0 0 255" ] || fail "screen bottom"
  [ "$(pixel "$work/shots/buffer.png" 5 5)" = "0 255 0" ] || fail "buffer 2"
  expect 0 "" "" -- "$lcdpng" --state "$work/st" host.png
  cmp -s host.png "$work/shots/inside.png" || fail "lcd-png from the host differs from lcd-png inside"
  expect 0 "" "" -- "$lcdpng" --buffer 2 --state "$work/st" buffer.png
  cmp -s buffer.png "$work/shots/buffer.png" || fail "lcd-png --buffer 2 from the host differs"
  expect 0 "" "" -- "$lcdpng" --fb "$work/st/sim/lcd.fb" fb.png
  cmp -s fb.png host.png || fail "lcd-png --fb differs from --state"
  expect 1 "" "lcd-png: no frame buffer at $work/nothing/sim/lcd.fb" -- "$lcdpng" --state "$work/nothing" x.png
  printf 'not a screen' > "$work/bad.fb"
  expect 1 "" "is not a frame buffer" -- "$lcdpng" --fb "$work/bad.fb" x.png
  [ ! -e x.png ] || fail "a picture of nothing was written"
  expect 2 "" "no off-screen buffer 4" -- "$lcdpng" --buffer 4 --state "$work/st" x.png
  # Inside, before anything was drawn: a message, no picture.
  expect 1 "" "nothing has been drawn" -- "$run" --out "$work/shots2" -- lcd-png none.png
  [ ! -e "$work/shots2/none.png" ] || fail "lcd-png drew a screen that never was"
}

check_entries "$build/router-run" "$build/router-panel" "$build/lcd-png"
echo "build tree ok"

# The same from an installed virtual router.
prefix=$work/prefix
cmake --install "$build" --component sim --prefix "$prefix" > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "install"; }
check_entries "$prefix/bin/router-run" "$prefix/bin/router-panel" "$prefix/bin/lcd-png"
echo "installed ok"
