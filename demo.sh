#!/usr/bin/env bash
# Runs the demo: a virtual router with a realistic home, and an application
# that looks at it and drives it through the libraries.
#   ./demo.sh            the host build
#   ./demo.sh --target   the router's build (mipsel) under qemu
set -euo pipefail
cd "$(dirname "$0")"
target=0
if [ "${1:-}" = --target ]; then target=1; shift; fi
./setup.sh
mkdir -p build
cmake -S . -B build/host -G Ninja > build/host.configure.log 2>&1 || { cat build/host.configure.log; exit 1; }
cmake --build build/host -j "$(nproc)" --target halvix_demo halvixsim sim-home sim-lan sim-nvram sim-automation hub-server
if [ "$target" = 1 ]; then
  cmake -S . -B build/mipsel -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mipsel-toolchain.cmake" \
    -DSIM_HOST_DIR="$PWD/build/host" > build/mipsel.configure.log 2>&1 || { cat build/mipsel.configure.log; exit 1; }
  cmake --build build/mipsel -j "$(nproc)" --target halvix_demo halvixsim
  exec build/mipsel/router-run --target --home -- build/mipsel/examples/halvix_demo "$@"
fi
exec build/host/router-run --home -- build/host/examples/halvix_demo "$@"
