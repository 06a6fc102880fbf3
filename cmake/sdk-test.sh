#!/usr/bin/env bash
# sdk-test.sh SRC BUILD CROSSCOMPILING SYSROOT
# Installs the build into a fresh prefix, checks what was installed, builds
# examples/app against it with CMake and with pkg-config, and runs both
# builds in the installed virtual router.
set -euo pipefail
src=$1 build=$2 cross=$3 sysroot=$4
work=$build/sdk-test
rm -rf "$work"; mkdir -p "$work"
prefix=$work/prefix
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "install"; }

if [ "$cross" = TRUE ]; then
  cxx=(mipsel-linux-gnu-g++ "--sysroot=$sysroot"); run=("$prefix/bin/router-run" --target --home --)
  cmake_args=(-DCMAKE_TOOLCHAIN_FILE="$prefix/share/halvix/mipsel-toolchain.cmake")
  make_args=(CXX=mipsel-linux-gnu-g++ "SYSROOT=$sysroot"); machine="MIPS"
else
  cxx=(g++); run=("$prefix/bin/router-run" --home --); cmake_args=(); make_args=(); machine="x86-64"
fi

# Every public header compiles on its own, with its library's flags.
n=0
for h in "$prefix"/include/*/*.h; do
  rel=${h#"$prefix/include/"}
  pcname=lib${rel%%/*}; [ -f "$prefix/lib/pkgconfig/$pcname.pc" ] || pcname=libhacore
  flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags "$pcname")
  echo "#include <$rel>" | "${cxx[@]}" -std=c++17 -fsyntax-only -x c++ $flags - \
    || fail "header $rel does not compile on its own"
  n=$((n + 1))
done
[ "$n" -gt 0 ] || fail "no headers installed"
echo "$n headers compile on their own"

# The pkg-config files and the CMake package name the same libraries.
pcs=$(cd "$prefix/lib/pkgconfig" && ls *.pc | sed 's/\.pc$//; s/^lib//' | sort | tr '\n' ' ')
targets=$(sed -n 's/^add_library(Halvix::\([A-Za-z0-9_]*\) SHARED IMPORTED).*/\1/p' \
  "$prefix"/lib/cmake/Halvix/HalvixTargets.cmake | sort | tr '\n' ' ')
[ -n "$pcs" ] && [ "$pcs" = "$targets" ] || fail "pkg-config ($pcs) and CMake ($targets) differ"
for pc in "$prefix"/lib/pkgconfig/*.pc; do
  name=$(basename "$pc" .pc)
  [ -f "$prefix/lib/lib${name#lib}.so" ] || fail "lib${name#lib}.so not installed"
  PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --exists "$name" || fail "pkg-config $name"
done
echo "libraries: $pcs"

# The application, out of tree, both ways.
cp -r "$src/examples/app" "$work/app"
cmake -S "$work/app" -B "$work/app/build-cmake" -DCMAKE_PREFIX_PATH="$prefix" "${cmake_args[@]}" \
  > "$work/app-cmake.log" 2>&1 || { cat "$work/app-cmake.log"; fail "configure with find_package"; }
cmake --build "$work/app/build-cmake" >> "$work/app-cmake.log" 2>&1 || { cat "$work/app-cmake.log"; fail "build with CMake"; }
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" make -s -C "$work/app" "${make_args[@]}" \
  > "$work/app-make.log" 2>&1 || { cat "$work/app-make.log"; fail "build with pkg-config"; }
for exe in "$work/app/build-cmake/lights" "$work/app/lights"; do
  [[ $(file -L "$exe") == *"$machine"* ]] || fail "$exe is not a $machine program"
  out=$("${run[@]}" "$exe" 2>&1) || { echo "$out"; fail "$exe in the virtual router"; }
  grep -q "devices" <<< "$out" || { echo "$out"; fail "$exe listed no devices"; }
  grep -q "^notification: #1 " <<< "$out" || { echo "$out"; fail "$exe: the light's change was not heard"; }
  # A device that is not there is a message, not an abort.
  rc=0; out=$("${run[@]}" "$exe" 4242 2>&1) || rc=$?
  [ "$rc" = 1 ] && grep -q "no device 4242" <<< "$out" || { echo "$out"; fail "$exe with a missing device"; }
done
echo "application built and run both ways"

if [ "$cross" = TRUE ]; then
  cmake --build "$build" --target rootfs > "$work/rootfs.log" 2>&1 || { cat "$work/rootfs.log"; fail "rootfs"; }
  # Our libraries; the outside pieces are the router's own.
  for pc in "$prefix"/lib/pkgconfig/lib*.pc; do
    case "$(basename "$pc" .pc)" in
      libtouch|libimagepng)
        [ ! -e "$build/rootfs/usr/lib/$(basename "$pc" .pc).so" ] || fail "$(basename "$pc" .pc) in the rootfs"
        continue ;;
    esac
    so=$build/rootfs/usr/lib/$(basename "$pc" .pc).so
    kind=$(file "$so")
    [[ $kind == *"32-bit LSB shared object, MIPS"* ]] || fail "$so: $kind"
    [[ $kind == *", stripped"* ]] || fail "$so not stripped"
  done
  echo "rootfs staged"
fi
echo "sdk ok"
