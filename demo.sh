#!/usr/bin/env bash
# Runs the demo: a virtual router with a realistic home, and an application
# that looks at it and drives it through the libraries.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build/host -G Ninja > build-host.configure.log 2>&1 || { cat build-host.configure.log; exit 1; }
rm -f build-host.configure.log
cmake --build build/host -j "$(nproc)" --target halvix_demo halvixsim sim-home sim-lan sim-nvram hub-server
exec build/host/router-run -- sh -c 'sim-home >/dev/null && sim-lan >/dev/null && exec "$0" "$@"' build/host/examples/halvix_demo "$@"
