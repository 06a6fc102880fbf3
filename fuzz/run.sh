#!/usr/bin/env bash
# Fuzz targets for the parsers of outside input (libFuzzer with ASan/UBSan).
#
#   fuzz/run.sh smoke            build, then run each target for ~20 seconds
#   fuzz/run.sh long [seconds]   build, then run each target longer (default 600)
#   fuzz/run.sh build            build only
#   fuzz/run.sh coverage         source-based coverage of what each target's
#                                corpus reaches (see fuzz/README.md)
# Target names after these (after the seconds of long) pick those targets
# only: fuzz/run.sh long 120 device_record_fuzz index_record_fuzz
#
# Targets are built with clang++-14 into build/fuzz. Each run starts from the
# committed seeds (fuzz/corpus/<corpus>/, never written to) plus what earlier
# runs found (build/fuzz/work/<target>/). A crash leaves its input in
# build/fuzz/artifacts/ and makes the script exit non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-smoke}
[ $# -gt 0 ] && shift
case "$mode" in
  smoke) secs=20 ;;
  long) secs=600; if [[ ${1:-} =~ ^[0-9]+$ ]]; then secs=$1; shift; fi ;;
  build) secs=0 ;;
  coverage) secs=0 ;;
  *) echo "usage: fuzz/run.sh smoke | long [seconds] | build | coverage, then [target...]" >&2; exit 2 ;;
esac
only=("$@")
wanted() { [ ${#only[@]} -eq 0 ] || [[ " ${only[*]} " == *" $1 "* ]]; }

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
  "weather_fuzz|fuzz/weather_fuzz.cpp hacore/src/automation/Weather.cpp hacore/src/automation/sunmath.cpp hacore/src/json/frozen.cpp -Ihacore/src -ffp-contract=off|weather|fuzz/json.dict"
  "automation_record_fuzz|fuzz/automation_record_fuzz.cpp hacore/src/*/*.cpp -Ihacore/src -I/usr/include/qdbm -lqdbm -lpthread|automation|fuzz/automation.dict"
  "client_record_fuzz|fuzz/client_record_fuzz.cpp hacore/src/*/*.cpp -Ihacore/src -I/usr/include/qdbm -lqdbm -lpthread|client|fuzz/client.dict"
  "version_fuzz|fuzz/version_fuzz.cpp fwupdate/src/version.cpp -Ifwupdate/src|version|fuzz/version.dict"
  "read_data_fuzz|fuzz/read_data_fuzz.cpp logupload/src/sendLogs.cpp -Ilogupload/include -lcurl|reply|fuzz/reply.dict"
  "jpeg_fuzz|fuzz/jpeg_fuzz.cpp lcddraw/src/jpeg.cpp|jpeg|fuzz/jpeg.dict"
  "lang_utf8_fuzz|-Itouchui/include -Ihacore/src fuzz/lang_utf8_fuzz.cpp touchui/src/Languages.cpp touchui/src/TextFormat.cpp touchui/src/Memory.cpp hacore/src/settings/Memory.cpp|lang|fuzz/lang.dict"
  "dns_answer_fuzz|-Idaemonlink/include -Idaemonlink/src fuzz/dns_answer_fuzz.cpp daemonlink/src/dns.cpp|dns|"
  "pairing_answer_fuzz|fuzz/pairing_answer_fuzz.cpp pairing/src/*.cpp outside/src/Logger.cpp hacore/src/json/frozen.cpp|pairing|fuzz/json.dict"
  "pen_script_fuzz|fuzz/pen_script_fuzz.cpp sim/panel/pen_script.cpp -Isim/panel|pen|"
  "device_line_fuzz|fuzz/device_line_fuzz.cpp sim/device/device_line.cpp -Isim/device|device_line|fuzz/device_line.dict"
  "event_receiver_fuzz|fuzz/event_receiver_fuzz.cpp hacore/src/*/*.cpp|receiver|fuzz/receiver.dict"
  "daemon_datagram_fuzz|-Idaemonlink/include -Idaemonlink/src fuzz/daemon_datagram_fuzz.cpp daemonlink/src/*.cpp hacore/src/json/frozen.cpp|daemon|fuzz/daemon.dict"
  "device_record_fuzz|fuzz/device_record_fuzz.cpp hacore/src/*/*.cpp|device|fuzz/device.dict"
  "index_record_fuzz|fuzz/index_record_fuzz.cpp hacore/src/*/*.cpp|index|fuzz/index.dict"
  "store_fastpath_fuzz|fuzz/store_fastpath_fuzz.cpp hacore/src/store/store.cpp -Ihacore/src|fastpath|"
)

# target | the parser's own source files, on which coverage is reported
COVER=(
  "json_parse_fuzz|hacore/src/json/frozen.cpp"
  "json_path_fuzz|hacore/src/json/frozen.cpp"
  "json_emit_fuzz|hacore/src/json/frozen.cpp"
  "weather_fuzz|hacore/src/automation/Weather.cpp hacore/src/automation/sunmath.cpp"
  "automation_record_fuzz|hacore/src/automation/Scene.cpp hacore/src/automation/Rule.cpp"
  "client_record_fuzz|hacore/src/network/Client.cpp"
  "version_fuzz|fwupdate/src/version.cpp"
  "read_data_fuzz|logupload/src/sendLogs.cpp"
  "jpeg_fuzz|lcddraw/src/jpeg.cpp"
  "lang_utf8_fuzz|touchui/src/Languages.cpp touchui/src/TextFormat.cpp"
  "dns_answer_fuzz|daemonlink/src/dns.cpp"
  "pairing_answer_fuzz|pairing/src/receiver.cpp pairing/src/zwave_typing.cpp pairing/src/zigbee_hue_nest.cpp"
  "pen_script_fuzz|sim/panel/pen_script.cpp"
  "device_line_fuzz|sim/device/device_line.cpp"
  "event_receiver_fuzz|hacore/src/device/HADevices.cpp"
  "daemon_datagram_fuzz|daemonlink/src/DaemonConnector.cpp"
  "device_record_fuzz|hacore/src/device/Device.cpp hacore/src/store/store.cpp"
  "index_record_fuzz|hacore/src/index/index.cpp hacore/src/index/index_catalogue.cpp"
  "store_fastpath_fuzz|hacore/src/store/store.cpp"
)

# How a target runs: the pairing target reads /tmp/ddb and logs, the store
# and datagram targets write stores under /tmp and bind the hub's
# addresses; they run inside a virtual router.
runner() {
  case "$1" in
    pairing_*|event_receiver_*|daemon_datagram_*|device_record_*|index_record_*|store_fastpath_*) echo build/host/router-run -- ;;
  esac
}

# Links the pairing target against the rest of libhacore from the host build.
extra_libs() {
  case "$1" in pairing_*) echo "-L$PWD/build/host/hacore -Wl,-rpath,$PWD/build/host/hacore -lhacore" ;; esac
}

if [ "$mode" = coverage ]; then
  COV=$OUT/cov
  mkdir -p "$COV"
  failed=0
  for entry in "${TARGETS[@]}"; do
    IFS='|' read -r name srcs corpus _ <<< "$entry"
    wanted "$name" || continue
    files=""
    for c in "${COVER[@]}"; do [ "${c%%|*}" = "$name" ] && files=${c#*|}; done
    # The CMake targets take their parser's sources straight.
    [ "$srcs" = cmake ] && srcs="fuzz/$name.cpp $files"
    # shellcheck disable=SC2086,SC2046
    if ! "$CXX" -std=c++17 -O0 -g -fprofile-instr-generate -fcoverage-mapping -Ihacore/include -Ilcddraw/include \
      -Ipairing/include -Ipairing/src -Ioutside/include -Ihacore/src -I/usr/include/qdbm \
      -Ibase/include fuzz/standalone_main.cpp $srcs base/src/*.cpp $(extra_libs "$name") -lqdbm -lpthread \
      -o "$COV/$name"; then
      echo "$name: coverage build failed" >&2
      failed=1
      continue
    fi
    work="$OUT/work/$name"
    for set in seeds all; do
      rm -f "$COV/$name-$set".profraw
      inputs=("fuzz/corpus/$corpus")
      [ "$set" = all ] && [ -d "$work" ] && inputs+=("$work")
      # shellcheck disable=SC2046
      if ! LLVM_PROFILE_FILE="$PWD/$COV/$name-$set.profraw" $(runner "$name") "$COV/$name" "${inputs[@]}" \
        > "$COV/$name-$set.log" 2>&1; then
        echo "$name: a corpus input failed; log: $COV/$name-$set.log" >&2
        failed=1
        continue 2
      fi
      llvm-profdata-14 merge -o "$COV/$name-$set.profdata" "$COV/$name-$set.profraw"
      # shellcheck disable=SC2086
      llvm-cov-14 report "$COV/$name" -instr-profile="$COV/$name-$set.profdata" $files > "$COV/$name-$set.txt"
      total=$(awk '$1 == "TOTAL" { printf "lines %d/%d (%s), functions %d/%d (%s)", $8 - $9, $8, $10, $5 - $6, $5, $7 }' \
        "$COV/$name-$set.txt")
      n=$(grep -a '^ran [0-9]* inputs$' "$COV/$name-$set.log" | tail -1)
      printf '%-24s %-5s %s (%s)\n' "$name" "$set" "$total" "$n"
    done
    # shellcheck disable=SC2086
    llvm-cov-14 report -show-functions -Xdemangler=c++filt "$COV/$name" -instr-profile="$COV/$name-all.profdata" $files \
      > "$COV/$name-all.functions.txt"
    # shellcheck disable=SC2086
    llvm-cov-14 show "$COV/$name" -instr-profile="$COV/$name-all.profdata" $files > "$COV/$name.show.txt"
  done
  echo "reports: $COV/<target>-{seeds,all}.txt, per function $COV/<target>-all.functions.txt," \
       "annotated sources $COV/<target>.show.txt"
  exit "$failed"
fi

mkdir -p "$OUT/artifacts"
cmake_targets=()
for entry in "${TARGETS[@]}"; do
  IFS='|' read -r name srcs _ _ <<< "$entry"
  wanted "$name" || continue
  if [ "$srcs" = cmake ]; then cmake_targets+=("$name"); continue; fi
  echo "building $name"
  extra=$(extra_libs "$name")
  # shellcheck disable=SC2086
  "$CXX" "${FLAGS[@]}" -Ihacore/include -Ilcddraw/include -Ipairing/include -Ipairing/src -Ioutside/include \
    -Ihacore/src -I/usr/include/qdbm -Ibase/include $srcs base/src/*.cpp $extra -lqdbm -lpthread \
    -o "$OUT/$name"
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
  wanted "$name" || continue
  work="$OUT/work/$name"
  mkdir -p "$work"
  log="$OUT/$name.log"
  echo "running $name for ${secs}s"
  # stdout closed: the value lookup prints on a miss; the receiver's
  # stderr too, a line for every stranger or unknown device (libFuzzer and
  # the sanitizers keep a copy of it for their reports)
  mask=1
  case "$name" in event_receiver_*) mask=3 ;; esac
  read -r -a run <<< "$(runner "$name")"
  if "${run[@]}" "$OUT/$name" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
       ${dict:+-dict="$dict"} -close_fd_mask=$mask -print_final_stats=1 \
       -artifact_prefix="$OUT/artifacts/$name-" "$work" "fuzz/corpus/$corpus" > "$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$log" | tr '\n' ' '; echo
  else
    echo "$name FAILED; log: $log" >&2
    tail -60 "$log" >&2
    failed=1
  fi
done
exit "$failed"
