#!/usr/bin/env bash
# Instructions per decode of one decoder of jpeg_mips under qemu-mipsel:
#   bench/jpeg_insns.sh ./jpeg_mips FILE.jpg ours|stb|turbo
# qemu logs every translated block's instructions (in_asm) and, with
# chaining off, every execution of a block (exec); the instructions of the
# executed blocks are added up. The program is run for one and for three
# decodes, and half the difference is one decode's instructions (start-up,
# reading the file and the decoders' first-use set-up left out).
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: jpeg_insns.sh JPEG_MIPS FILE.jpg DECODER" >&2; exit 2; }
prog=$1 file=$2 dec=$3
count() {
  local dir fifo
  dir=$(mktemp -d)
  fifo=$dir/log
  mkfifo "$fifo"
  # Blocks are keyed by their address: the latest translation of each.
  awk '
    /^IN:/ { inblk = 1; n = 0; pc = ""; next }
    inblk && /^0x/ { if (pc == "") pc = substr($1, 3, 8); n++; next }
    inblk { if (pc != "") len[pc] = n; inblk = 0 }
    /^Trace/ { split($4, f, "/"); total += len[f[2]] }
    END { printf "%d\n", total }' < "$fifo" &
  local reader=$!
  qemu-mipsel -d in_asm,exec,nochain -D "$fifo" "$prog" --only="$dec" "$file" "$1" > /dev/null
  wait "$reader"
  rm -rf "$dir"
}
one=$(count 1)
three=$(count 3)
echo "$file $dec: $(( (three - one) / 2 )) instructions per decode"
