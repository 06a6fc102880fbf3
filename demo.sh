#!/usr/bin/env bash
# Runs the demo: a virtual router with a realistic home, and an application
# that looks at it and drives it through the libraries.
#   ./demo.sh            the host build
#   ./demo.sh --target   the router's build (mipsel) under qemu
#   ./demo.sh --panel    the touch front end alone, live: its screen in a
#                        browser page (the address is printed), the mouse as
#                        the pen; Ctrl-C ends it (with --target too)
set -euo pipefail
cd "$(dirname "$0")"
target=0; panel=0
while [ $# -gt 0 ]; do
  case "$1" in
    --target) target=1; shift ;;
    --panel) panel=1; shift ;;
    *) break ;;
  esac
done
run=(router-run --home --)
if [ "$panel" = 1 ]; then run=(router-panel --home --); set -- --front-end "$@"; fi
./setup.sh
mkdir -p build
cmake -S . -B build/host -G Ninja > build/host.configure.log 2>&1 || { cat build/host.configure.log; exit 1; }
cmake --build build/host -j "$(nproc)" --target halvix_demo halvixsim sim-home sim-lan sim-nvram sim-automation hub-server panel-server
if [ "$target" = 1 ]; then
  cmake -S . -B build/mipsel -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mipsel-toolchain.cmake" \
    -DSIM_HOST_DIR="$PWD/build/host" > build/mipsel.configure.log 2>&1 || { cat build/mipsel.configure.log; exit 1; }
  cmake --build build/mipsel -j "$(nproc)" --target halvix_demo halvixsim
  exec build/mipsel/"${run[0]}" --target "${run[@]:1}" build/mipsel/examples/halvix_demo "$@"
fi
exec build/host/"${run[0]}" "${run[@]:1}" build/host/examples/halvix_demo "$@"
