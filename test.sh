#!/usr/bin/env bash
# Builds and runs the whole test suite three times: natively, under
# AddressSanitizer and UndefinedBehaviorSanitizer, and cross-compiled for the
# router (mipsel) under qemu-mipsel. Installs what it lacks first.
set -euo pipefail
cd "$(dirname "$0")"
if [ "${1:-}" = browser ]; then ./setup.sh --browser; else ./setup.sh; fi
ROOT=$PWD
JOBS=$(nproc)
only="${1:-all}"   # format | host | docs | asan | mipsel | tsan | browser | coverage | all (tsan, browser and coverage are not part of all)

case "$only" in
  format | host | docs | asan | mipsel | tsan | browser | coverage | all) ;;
  *) echo "usage: ./test.sh [format | host | docs | asan | mipsel | tsan | browser | coverage | all]" >&2; exit 2 ;;
esac

summary=()
total_pass=0; total_fail=0

build_tree() {
  local name=$1 dir=$2; shift 2
  echo "=== $name build ==="
  cmake -S . -B "$dir" -G Ninja "$@" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
  cmake --build "$dir" -j "$JOBS"
}

run_suite() {
  local name=$1 dir=$2
  build_tree "$@"
  echo "=== $name tests ==="
  local log="$dir.ctest.log" rc=0
  # No second attempt: a test that fails once is a fault to find.
  ctest --test-dir "$dir" --output-on-failure -j "$JOBS" 2>&1 | tee "$log" || rc=$?
  local total failed
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  failed=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -1)
  total=${total:-0}; failed=${failed:-0}
  [ "$rc" = 0 ] || [ "$failed" != 0 ] || failed=1
  total_pass=$((total_pass + total - failed)); total_fail=$((total_fail + failed))
  summary+=("$name: $((total - failed)) passed, $failed failed")
}

mkdir -p build
# The browser panel in headless Chromium, with the front end on the host and
# on mipsel under qemu. In a network namespace of its own: the panel server
# and the browser meet on a loopback no other test sees, and nothing the
# browser tries to reach leaves the machine.
browser_suite() {
  local name=$1 dir=$2
  build_tree "$@"
  echo "=== $name browser test ==="
  local flags=""
  [ "$name" = mipsel ] && flags=--target
  local user=()
  [ "$(id -u)" = 0 ] || user=(--map-root-user)
  if unshare --net "${user[@]}" -- sh -c 'ip link set lo up && exec "$@"' sh \
       /usr/bin/python3 sim/panel/tests/browser_test.py --panel "$dir/router-panel" \
       --app "$dir/examples/halvix_demo" $flags -v; then
    total_pass=$((total_pass + 1)); summary+=("$name browser: passed")
  else
    total_fail=$((total_fail + 1)); summary+=("$name browser: failed")
  fi
}

# The host build also builds the benches, so they keep building; the other
# builds take the host build's virtual router (SIM_HOST_DIR).
host_suite() { run_suite host build/host -DHALVIX_BENCH=ON; }
need_host() { [ -f build/host/router-run ] || host_suite; }
mipsel_flags=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mipsel-toolchain.cmake" -DSIM_HOST_DIR="$ROOT/build/host")

asan_suite() { run_suite sanitizers build/asan -DHALVIX_SANITIZE=ON -DSIM_HOST_DIR="$ROOT/build/host"; }
mipsel_suite() { run_suite mipsel build/mipsel "${mipsel_flags[@]}"; }

# ThreadSanitizer; reports go to build/tsan/reports/ (a test with a report
# exits 66 and fails), the races left unlocked by design are in
# cmake/tsan.supp.
tsan_suite() {
  rm -rf build/tsan/reports; mkdir -p build/tsan/reports
  export TSAN_OPTIONS="suppressions=$ROOT/cmake/tsan.supp log_path=$ROOT/build/tsan/reports/tsan log_exe_name=1 second_deadlock_stack=1"
  run_suite tsan build/tsan -DHALVIX_TSAN=ON -DSIM_HOST_DIR="$ROOT/build/host"
  for f in build/tsan/reports/*; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done
}

# The host suite built with gcov; lines and branches of the libraries' own
# sources (not tests, the virtual router or examples), exception edges and
# unreachable branches left out. The report is build/coverage/index.html.
coverage_suite() {
  rm -rf build/coverage; mkdir -p build/coverage
  find build/cov -name '*.gcda' -delete 2>/dev/null || true
  run_suite coverage build/cov -DCMAKE_BUILD_TYPE=Debug -DHALVIX_COVERAGE=ON
  gcovr --root . --object-directory build/cov --gcov-executable gcov-12 build/cov \
    --filter '((hacore|pairing|daemonlink|fwupdate|logupload|hwtimer|lcddraw|touchui)/src/|base/(src|include)/)' \
    --exclude-throw-branches --exclude-unreachable-branches \
    --html-details build/coverage/index.html --txt build/coverage/files.txt \
    --json-summary build/coverage/summary.json --print-summary > build/coverage/summary.txt
  cat build/coverage/files.txt
  python3 -c 'import json,sys; s=json.load(open(sys.argv[1])); print("lines: %.1f%% branches: %.1f%%" % (s["line_percent"], s["branch_percent"]))' build/coverage/summary.json
}

# The sources are clean under .clang-format (cmake/check-format.sh --fix
# formats them).
format_check() {
  echo "=== format ==="
  if cmake/check-format.sh; then summary+=("format: clean"); else total_fail=$((total_fail + 1)); summary+=("format: not clean"); fi
}

# The API reference of the public headers: any Doxygen warning (an
# undocumented declaration among them) fails it.
docs_check() {
  echo "=== API reference ==="
  if cmake --build build/host --target docs; then summary+=("docs: no warning"); else total_fail=$((total_fail + 1)); summary+=("docs: warnings"); fi
}

fuzz_smoke() {
  echo "=== fuzz smoke ==="
  if fuzz/run.sh smoke; then summary+=("fuzz smoke: passed"); else total_fail=$((total_fail + 1)); summary+=("fuzz smoke: failed"); fi
}

case "$only" in
  all) format_check; host_suite; docs_check; asan_suite; mipsel_suite; fuzz_smoke ;;
  format) format_check ;;
  docs) need_host; docs_check ;;
  host) host_suite ;;
  asan) need_host; asan_suite ;;
  mipsel) need_host; mipsel_suite ;;
  tsan) need_host; tsan_suite ;;
  coverage) coverage_suite ;;
  browser)
    browser_suite host build/host
    browser_suite mipsel build/mipsel "${mipsel_flags[@]}"
    ;;
esac

printf '%s\n' "${summary[@]}"
echo "$total_pass passed, $total_fail failed"
[ "$total_fail" = 0 ]
