#!/usr/bin/env bash
# Fuzz targets for the parsers of outside input (libFuzzer with ASan/UBSan).
#
#   fuzz/run.sh smoke            build, then run each target for ~20 seconds
#   fuzz/run.sh long [seconds]   build, then run each target longer (default 600)
#   fuzz/run.sh build            build only
#
# Targets are built with clang++-14 into build/fuzz. Each run starts from the
# committed seeds (fuzz/corpus/<corpus>/, never written to) plus what earlier
# runs found (build/fuzz/work/<target>/). A crash leaves its input in
# build/fuzz/artifacts/ and makes the script exit non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-smoke}
case "$mode" in
  smoke) secs=20 ;;
  long) secs=${2:-600} ;;
  build) secs=0 ;;
  *) echo "usage: fuzz/run.sh smoke | long [seconds] | build" >&2; exit 2 ;;
esac

CXX=${FUZZ_CXX:-clang++-14}
OUT=build/fuzz
FLAGS=(-std=c++17 -O1 -g -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

# target | sources ("cmake": a target of fuzz/CMakeLists.txt, linked with the
# libraries as CMake builds them) | seed corpus | dictionary
TARGETS=(
  "json_parse_fuzz|cmake|json|fuzz/json.dict"
  "json_path_fuzz|cmake|json|fuzz/json.dict"
  "json_emit_fuzz|cmake|json|fuzz/json.dict"
  "weather_fuzz|fuzz/weather_fuzz.cpp hacore/src/automation/Weather.cpp hacore/src/automation/sunmath.cpp hacore/src/frozen.cpp -Ihacore/src -ffp-contract=off|weather|fuzz/json.dict"
  "automation_record_fuzz|fuzz/automation_record_fuzz.cpp hacore/src/*.cpp hacore/src/network/*.cpp hacore/src/settings/*.cpp hacore/src/automation/*.cpp -Ihacore/src -Ihacore/src/automation -I/usr/include/qdbm -lqdbm -lpthread|automation|fuzz/automation.dict"
  "client_record_fuzz|fuzz/client_record_fuzz.cpp hacore/src/*.cpp hacore/src/network/*.cpp -Ihacore/src -I/usr/include/qdbm -lqdbm -lpthread|client|fuzz/client.dict"
  "version_fuzz|fuzz/version_fuzz.cpp fwupdate/src/version.cpp -Ifwupdate/src|version|fuzz/version.dict"
  "read_data_fuzz|fuzz/read_data_fuzz.cpp logupload/src/sendLogs.cpp -Ilogupload/include -lcurl|reply|fuzz/reply.dict"
  "jpeg_fuzz|fuzz/jpeg_fuzz.cpp lcddraw/src/jpeg.cpp|jpeg|fuzz/jpeg.dict"
  "lang_utf8_fuzz|-Itouchui/include -Ihacore/src fuzz/lang_utf8_fuzz.cpp touchui/src/Languages.cpp touchui/src/TextFormat.cpp touchui/src/Memory.cpp hacore/src/settings/Memory.cpp|lang|fuzz/lang.dict"
  "dns_answer_fuzz|-Idaemonlink/include -Idaemonlink/src fuzz/dns_answer_fuzz.cpp daemonlink/src/dns.cpp|dns|"
  "pairing_answer_fuzz|fuzz/pairing_answer_fuzz.cpp pairing/src/*.cpp outside/src/Logger.cpp hacore/src/frozen.cpp|pairing|fuzz/json.dict"
  "pen_script_fuzz|fuzz/pen_script_fuzz.cpp sim/panel/pen_script.cpp -Isim/panel|pen|"
)

mkdir -p "$OUT/artifacts"
cmake_targets=()
for entry in "${TARGETS[@]}"; do
  IFS='|' read -r name srcs _ _ <<< "$entry"
  if [ "$srcs" = cmake ]; then cmake_targets+=("$name"); continue; fi
  echo "building $name"
  # The pairing target takes the rest of libhacore from the host build.
  extra=""
  case "$name" in pairing_*) extra="-L$PWD/build/host/hacore -Wl,-rpath,$PWD/build/host/hacore -lhacore" ;; esac
  # shellcheck disable=SC2086
  "$CXX" "${FLAGS[@]}" -Ihacore/include -Ilcddraw/include -Ipairing/include -Ipairing/src -Ioutside/include \
    -Ihacore/src -I/usr/include/qdbm $srcs $extra -lqdbm -lpthread -o "$OUT/$name"
done
if [ ${#cmake_targets[@]} -gt 0 ]; then
  echo "building ${cmake_targets[*]}"
  cmake -S . -B "$OUT/cmake" -G Ninja -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_C_COMPILER="${CXX/clang++/clang}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVIX_FUZZ=ON > "$OUT/cmake.configure.log" 2>&1 \
    || { cat "$OUT/cmake.configure.log"; exit 1; }
  cmake --build "$OUT/cmake" -j2 --target "${cmake_targets[@]}"
  for name in "${cmake_targets[@]}"; do ln -sf "cmake/fuzz/$name" "$OUT/$name"; done
fi
[ "$secs" -gt 0 ] || exit 0

failed=0
for entry in "${TARGETS[@]}"; do
  IFS='|' read -r name _ corpus dict <<< "$entry"
  work="$OUT/work/$name"
  mkdir -p "$work"
  log="$OUT/$name.log"
  echo "running $name for ${secs}s"
  # stdout closed: the value lookup prints on a miss
  # The pairing target reads /tmp/ddb and logs: it runs inside a virtual router.
  run=()
  case "$name" in pairing_*) run=(build/host/router-run --) ;; esac
  if "${run[@]}" "$OUT/$name" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
       ${dict:+-dict="$dict"} -close_fd_mask=1 -print_final_stats=1 \
       -artifact_prefix="$OUT/artifacts/$name-" "$work" "fuzz/corpus/$corpus" > "$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$log" | tr '\n' ' '; echo
  else
    echo "$name FAILED; log: $log" >&2
    tail -60 "$log" >&2
    failed=1
  fi
done
exit "$failed"
