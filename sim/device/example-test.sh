#!/usr/bin/env bash
# example-test.sh EXAMPLE BUILD CROSSCOMPILING
# Builds a standalone example application against the SDK installed from
# BUILD into a fresh prefix and runs the example's own tests (ctest), as an
# application developer does.
set -euo pipefail
example=$1 build=$2 cross=$3
work=$build/example-$(basename "$example")
rm -rf "$work"; mkdir -p "$work"
prefix=$work/prefix
fail() { echo "FAIL: $1"; [ -f "$2" ] && cat "$2"; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 || fail "install" "$work/install.log"
args=()
[ "$cross" = TRUE ] && args=(-DCMAKE_TOOLCHAIN_FILE="$prefix/share/halvix/mipsel-toolchain.cmake")
cmake -S "$example" -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" ${args[@]+"${args[@]}"} \
  > "$work/configure.log" 2>&1 || fail "configure against the SDK" "$work/configure.log"
cmake --build "$work/build" > "$work/build.log" 2>&1 || fail "build" "$work/build.log"
ctest --test-dir "$work/build" --output-on-failure > "$work/ctest.log" 2>&1 || fail "the example's tests" "$work/ctest.log"
grep -q "100% tests passed" "$work/ctest.log" || fail "the example ran no test" "$work/ctest.log"
echo "$(basename "$example"): built against the SDK, its tests pass"
