#!/usr/bin/env bash
# Byte-for-byte check of the JPEG decoder against the one of an earlier
# revision, on the host, under ASan and UBSan, and as a mipsel program under
# qemu:
#   bench/jpeg_check.sh REV [FILE.jpg...]
# With no files it first writes the check's pictures (bench/jpeg_pictures.py)
# into build/jpeg_check/pictures. Exits non-zero on any difference.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: jpeg_check.sh REV [FILE.jpg...]" >&2; exit 2; }
rev=$1; shift
out=build/jpeg_check
mkdir -p "$out"
if [ $# -eq 0 ]; then
  [ -d "$out/pictures" ] || bench/jpeg_pictures.py "$out/pictures" > /dev/null
  set -- "$out"/pictures/*.jpg fuzz/corpus/jpeg/*.jpg
fi
git show "$rev:lcddraw/src/jpeg.cpp" > "$out/ref_jpeg.cpp"
R=""
for f in njInit njDone njDecode njGetWidth njGetHeight njIsColor njGetImage njGetImageSize; do
  R="$R -D$f=ref_$f"
done
SAN="-O1 -g -fsanitize=address,undefined -fno-sanitize-recover=undefined"
MIPS="mipsel-linux-gnu-g++ -O2 -idirafter /usr/include"
# shellcheck disable=SC2086
{
  g++ -O2 $R -Ilcddraw/include -c "$out/ref_jpeg.cpp" -o "$out/ref.o"
  g++ -O2 -Ilcddraw/include -o "$out/jpeg_check" bench/jpeg_check.cpp "$out/ref.o" lcddraw/src/jpeg.cpp
  g++ $SAN $R -Ilcddraw/include -c "$out/ref_jpeg.cpp" -o "$out/ref_san.o"
  g++ $SAN -Ilcddraw/include -o "$out/jpeg_check_san" bench/jpeg_check.cpp "$out/ref_san.o" lcddraw/src/jpeg.cpp
  $MIPS $R -Ilcddraw/include -c "$out/ref_jpeg.cpp" -o "$out/ref_mips.o"
  $MIPS -static -Ilcddraw/include -o "$out/jpeg_check_mips" bench/jpeg_check.cpp "$out/ref_mips.o" lcddraw/src/jpeg.cpp
}
status=0
run() {
  local name=$1 r
  shift
  r=$("$@") || status=1
  printf '%s: %s\n' "$name" "$(printf '%s\n' "$r" | grep -v '^$' | tail -1)"
  printf '%s\n' "$r" | grep MISMATCH | head -20 || true
}
run host "$out/jpeg_check" "$@"
run sanitizers "$out/jpeg_check_san" "$@"
run mipsel qemu-mipsel "$out/jpeg_check_mips" "$@"
exit $status
