#!/usr/bin/env bash
# sdk-test.sh SRC BUILD CROSSCOMPILING SYSROOT
# Installs the build into a fresh prefix and checks what it installed: the
# headers, the pkg-config files (with and without a sysroot) and the CMake
# package, which looks only for what the asked libraries need. Then every
# standalone example project under examples/ is built outside its folder
# against the prefix, with CMake and (where it has one) its Makefile, and
# its tests run in the installed virtual router, with the CMake build's
# programs and again with the Makefile's; the example folders must stay as
# they were. A host build also makes the Debian package, installs it into a
# scratch root and does the same against it.
set -euo pipefail
src=$1 build=$2 cross=$3 sysroot=$4
work=$build/sdk-test
rm -rf "$work"
mkdir -p "$work"
fail() {
  echo "FAIL: $*"
  exit 1
}
jobs=$(nproc 2>/dev/null || echo 2)

if [ "$cross" = TRUE ]; then
  cxx=(mipsel-linux-gnu-g++ "--sysroot=$sysroot")
  machine="MIPS"
else
  cxx=(g++)
  machine="x86-64"
fi

snapshot() {
  find "$src/examples" -printf '%P %y %s %T@ %m\n' | LC_ALL=C sort
}
snapshot >"$work/examples.before"

# The files an installed SDK holds, and its pkg-config files and CMake package.
check_prefix() {
  local prefix=$1 tag=$2 pcdir=$1/lib/pkgconfig
  local n=0 h rel pcname flags
  for h in "$prefix"/include/*/*.h; do
    rel=${h#"$prefix/include/"}
    pcname=lib${rel%%/*}
    [ -f "$pcdir/$pcname.pc" ] || pcname=libhacore
    flags=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags "$pcname")
    # shellcheck disable=SC2086
    echo "#include <$rel>" | "${cxx[@]}" -std=c++17 -fsyntax-only -x c++ $flags - ||
      fail "$tag: header $rel does not compile on its own"
    n=$((n + 1))
  done
  [ "$n" -gt 0 ] || fail "$tag: no headers installed"
  echo "$tag: $n headers compile on their own"

  local pcs targets pc name
  pcs=$(cd "$pcdir" && ls ./*.pc | sed 's|^\./||; s/\.pc$//; s/^lib//' | sort | tr '\n' ' ')
  targets=$(sed -n 's/^add_library(Halvix::\([A-Za-z0-9_]*\) SHARED IMPORTED).*/\1/p' \
    "$prefix"/lib/cmake/Halvix/HalvixTargets.cmake | sort | tr '\n' ' ')
  [ -n "$pcs" ] && [ "$pcs" = "$targets" ] || fail "$tag: pkg-config ($pcs) and CMake ($targets) differ"
  for pc in "$pcdir"/*.pc; do
    name=$(basename "$pc" .pc)
    [ -f "$prefix/lib/lib${name#lib}.so" ] || fail "$tag: lib${name#lib}.so not installed"
    PKG_CONFIG_PATH="$pcdir" pkg-config --exists "$name" || fail "$tag: pkg-config $name"
  done
  [ -x "$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=router_run libhacore)" ] ||
    fail "$tag: the router_run variable names no program"
  echo "$tag: libraries $pcs"

  # qdbm's flags, which the public headers need, from where a sysroot
  # applies to them.
  local qinc
  if [ "$cross" = TRUE ]; then
    [ "$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=sysroot libhacore)" = "$sysroot" ] ||
      fail "$tag: the sysroot variable is not $sysroot"
    [ "$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=target libhacore)" = mipsel-linux-gnu ] ||
      fail "$tag: the target variable is not mipsel-linux-gnu"
    qinc=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags-only-I libpairing | tr ' ' '\n' | grep qdbm) ||
      fail "$tag: no qdbm include folder in the flags"
    [ "$qinc" = "-I$sysroot/usr/include/qdbm" ] && [ -f "${qinc#-I}/depot.h" ] ||
      fail "$tag: qdbm's headers are not in the sysroot ($qinc)"
    qinc=$(PKG_CONFIG_SYSROOT_DIR=$sysroot PKG_CONFIG_PATH="$pcdir" pkg-config --cflags-only-I libhacore |
      tr ' ' '\n' | grep qdbm)
    [ "$qinc" = "-I$sysroot/usr/include/qdbm" ] || fail "$tag: with PKG_CONFIG_SYSROOT_DIR qdbm is at $qinc"
    qinc=$(PKG_CONFIG_PATH="$pcdir" pkg-config --define-variable=sysroot=/other --cflags-only-I libhacore |
      tr ' ' '\n' | grep qdbm)
    [ "$qinc" = "-I/other/usr/include/qdbm" ] || fail "$tag: another sysroot gives $qinc"
  else
    [ "$(PKG_CONFIG_PATH="$pcdir" pkg-config --print-requires-private libhacore)" = qdbm ] ||
      fail "$tag: libhacore does not require qdbm"
    qinc=$(pkg-config --cflags-only-I qdbm | tr -d " ")
    [[ " $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags libpairing) " == *" $qinc "* ]] ||
      fail "$tag: libpairing's flags lack qdbm's $qinc"
    [[ " $(PKG_CONFIG_SYSROOT_DIR=/sysroot PKG_CONFIG_PATH="$pcdir" pkg-config --cflags-only-I libhacore) " == \
      *" -I/sysroot${qinc#-I} "* ]] || fail "$tag: PKG_CONFIG_SYSROOT_DIR does not apply to qdbm"
  fi
  echo "$tag: pkg-config gives qdbm's flags where a sysroot applies"

  # The CMake package: each find_package looks only for what its
  # components need; an unknown component is refused.
  local probe=$work/$tag/probe
  mkdir -p "$probe"
  cat >"$probe/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.16)
project(probe CXX)
message(STATUS "probe: daemonlink")
find_package(Halvix REQUIRED COMPONENTS daemonlink)
message(STATUS "probe: hacore")
find_package(Halvix REQUIRED COMPONENTS hacore)
message(STATUS "probe: all")
find_package(Halvix REQUIRED)
message(STATUS "probe: nosuch")
find_package(Halvix QUIET COMPONENTS nosuch)
message(STATUS "probe: nosuch found=${Halvix_FOUND} ${Halvix_NOT_FOUND_MESSAGE}")
if(NOT TARGET Halvix::touchui OR NOT TARGET qdbm::qdbm)
  message(FATAL_ERROR "probe: targets missing")
endif()
EOF
  cmake -S "$probe" -B "$probe/build" -DCMAKE_PREFIX_PATH="$prefix" "${cmake_args[@]}" \
    --trace-expand --trace-redirect="$probe/trace" >"$probe/log" 2>&1 || {
    cat "$probe/log"
    fail "$tag: the CMake package probe"
  }
  grep -Eq "probe: nosuch found=(FALSE|0) no library nosuch" "$probe/log" || fail "$tag: unknown component not refused"
  # The trace between the probe's markers (read whole: no early-closing pipes).
  local first second
  first=$(awk '/message\(STATUS "?probe: hacore/ {exit} {print}' "$probe/trace")
  second=$(awk '/message\(STATUS "?probe: hacore/ {on=1} /message\(STATUS "?probe: all/ {on=0} on' "$probe/trace")
  [[ $first == *"find_library(HALVIX_QDBM_LIBRARY"* ]] &&
    fail "$tag: find_package(Halvix COMPONENTS daemonlink) looks for qdbm"
  [[ $second == *"find_library(HALVIX_QDBM_LIBRARY"* ]] || fail "$tag: find_package(Halvix COMPONENTS hacore) finds no qdbm"
  if grep -E "find_(package|dependency)\((PNG|CURL|OpenSSL)" "$probe/trace"; then
    fail "$tag: the CMake package looks for PNG, CURL or OpenSSL"
  fi
  echo "$tag: the CMake package finds only what the asked libraries need"
}

# Runs the tests of a CMake build again with the programs a Makefile built
# (same names).
rerun_with() {
  python3 - "$@" <<'EOF'
import json, os, subprocess, sys
cmake_dir, make_dir = (os.path.realpath(a) for a in sys.argv[1:3])
tests = json.loads(subprocess.check_output(["ctest", "--test-dir", cmake_dir, "--show-only=json-v1"]))["tests"]
ran, failed = 0, []
for t in tests:
    cmd = list(t.get("command") or [])
    spots = [i for i, a in enumerate(cmd) if os.path.dirname(os.path.realpath(a)) == cmake_dir
             and os.path.isfile(os.path.join(make_dir, os.path.basename(a)))]
    if not spots:
        continue
    for i in spots:
        cmd[i] = os.path.join(make_dir, os.path.basename(cmd[i]))
    env, cwd = dict(os.environ), make_dir
    for p in t.get("properties", []):
        if p["name"] == "ENVIRONMENT":
            env.update(kv.split("=", 1) for kv in p["value"])
        elif p["name"] == "WORKING_DIRECTORY":
            cwd = p["value"]
    r = subprocess.run(cmd, env=env, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    ran += 1
    if r.returncode != 0:
        failed.append(t["name"])
        sys.stdout.write(r.stdout.decode(errors="replace"))
print("%d test(s) run with the Makefile's programs%s" % (ran, ", failed: " + " ".join(failed) if failed else ""))
sys.exit(1 if failed else 0)
EOF
}

# Builds one standalone example project against the prefix, out of tree,
# and runs its tests.
build_project() {
  local prefix=$1 tag=$2 dir=$3 name out exe
  name=$(basename "$dir")
  out=$work/$tag/$name
  mkdir -p "$out"
  cmake -S "$dir" -B "$out/cmake" -DCMAKE_PREFIX_PATH="$prefix" "${cmake_args[@]}" >"$out/cmake.log" 2>&1 ||
    { cat "$out/cmake.log"; fail "$tag/$name: configure with find_package"; }
  cmake --build "$out/cmake" -j "$jobs" >>"$out/cmake.log" 2>&1 || { cat "$out/cmake.log"; fail "$tag/$name: build with CMake"; }
  ctest --test-dir "$out/cmake" -j "$jobs" --output-on-failure >"$out/ctest.log" 2>&1 ||
    { cat "$out/ctest.log"; fail "$tag/$name: its tests"; }
  grep -q "tests passed" "$out/ctest.log" || { cat "$out/ctest.log"; fail "$tag/$name: no tests"; }
  grep "tests passed" "$out/ctest.log" | sed "s|^|$tag/$name: |"

  [ -f "$dir/Makefile" ] || return 0
  # Out of tree only: run in its own folder it writes nothing there.
  local before after
  before=$(find "$dir" -printf '%P %y %s %T@ %m\n' | LC_ALL=C sort)
  PKG_CONFIG_PATH="$prefix/lib/pkgconfig" make -s -C "$dir" >"$out/insource.log" 2>&1 || true
  after=$(find "$dir" -printf '%P %y %s %T@ %m\n' | LC_ALL=C sort)
  [ "$before" = "$after" ] || { cat "$out/insource.log"; fail "$tag/$name: make in the source folder wrote into it"; }
  mkdir -p "$out/make"
  (cd "$out/make" && PKG_CONFIG_PATH="$prefix/lib/pkgconfig" make -s -j "$jobs" -f "$dir/Makefile") >"$out/make.log" 2>&1 ||
    { cat "$out/make.log"; fail "$tag/$name: build with the Makefile and pkg-config"; }
  for exe in "$out"/make/*; do
    [ -f "$exe" ] && [ -x "$exe" ] || continue
    [[ $(file -L "$exe") == *"$machine"* ]] || fail "$exe is not a $machine program"
  done
  rerun_with "$out/cmake" "$out/make" >"$out/rerun.log" 2>&1 ||
    { cat "$out/rerun.log"; fail "$tag/$name: the Makefile's programs"; }
  sed "s|^|$tag/$name: |" "$out/rerun.log" | tail -1
}

build_examples() {
  local prefix=$1 tag=$2 n=0 cm
  for cm in "$src"/examples/*/CMakeLists.txt; do
    grep -qiE '^[[:space:]]*project[[:space:]]*\(' "$cm" || continue
    build_project "$prefix" "$tag" "$(dirname "$cm")"
    n=$((n + 1))
  done
  [ "$n" -gt 0 ] || fail "no standalone example project"
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
cmake_args=()
if [ "$cross" = TRUE ]; then
  cmake_args=(-DCMAKE_TOOLCHAIN_FILE="$prefix/share/halvix/mipsel-toolchain.cmake")
fi
check_prefix "$prefix" prefix
if [ "$cross" = TRUE ]; then
  # The toolchain file knows the sysroot it was built with and takes another.
  grep -qF "set(halvix_default_sysroot \"$sysroot\")" "$prefix/share/halvix/mipsel-toolchain.cmake" ||
    fail "the toolchain file does not default to $sysroot"
  mkdir -p "$work/nosysroot"
  echo 'project(p CXX)' >"$work/nosysroot/CMakeLists.txt"
  if cmake -S "$work/nosysroot" -B "$work/nosysroot/build" "${cmake_args[@]}" -DHALVIX_SYSROOT=/no/such/sysroot \
    >"$work/nosysroot/log" 2>&1; then
    fail "a missing sysroot was taken"
  fi
  grep -q "no mipsel sysroot at /no/such/sysroot" "$work/nosysroot/log" || { cat "$work/nosysroot/log"; fail "missing sysroot message"; }
  echo "prefix: the toolchain file defaults to $sysroot"
fi
build_examples "$prefix" prefix

if [ "$cross" != TRUE ]; then
  # The Debian package, installed into a scratch root as dpkg installs it
  # (its own database there; the machine's /usr is not touched).
  deb=$work/deb
  (cd "$build" && cpack -G DEB -B "$deb") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
  pkg=$(ls "$deb"/*.deb)
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
  [ "$(dpkg-deb -f "$pkg" Package)" = halvix-sdk ] || fail "package name"
  [ "$(dpkg-deb -f "$pkg" Version)" = "$version" ] || fail "package version is not $version"
  [ -n "$(dpkg-deb -f "$pkg" Maintainer)" ] || fail "package without maintainer"
  depends=$(dpkg-deb -f "$pkg" Depends)
  for p in libqdbm-dev bubblewrap libqdbm14; do
    [[ ", $depends," == *", $p"[\ ,]* ]] || fail "the package does not depend on $p ($depends)"
  done
  # Every dependency is installed here (some alternative of each).
  names=()
  IFS=, read -ra items <<<"$depends"
  for item in "${items[@]}"; do
    ok=0
    IFS='|' read -ra alts <<<"$item"
    for alt in "${alts[@]}"; do
      alt=$(echo "$alt" | sed 's/(.*)//; s/[[:space:]]//g')
      names+=("$alt")
      [ "$(dpkg-query -W -f='${Status}' "$alt" 2>/dev/null)" = "install ok installed" ] && ok=1
    done
    [ "$ok" = 1 ] || fail "dependency $item is not installed"
  done
  root=$deb/root
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
  : >"$root/var/lib/dpkg/status"
  if [ "$(id -u)" = 0 ]; then
    dpkg --root="$root" --log="$deb/dpkg.log" --force-depends --force-bad-path -i "$pkg" >"$deb/dpkg.out" 2>&1 ||
      { cat "$deb/dpkg.out"; fail "dpkg -i into $root"; }
    [ "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' halvix-sdk)" = "install ok installed" ] ||
      fail "not installed in $root"
  else
    # dpkg installs only as root; unpacked, the files are the same.
    dpkg-deb -x "$pkg" "$root"
  fi
  dprefix=$root$(dpkg-deb -c "$pkg" | awk '$6 ~ /\/bin\/router-run$/ {print $6}' | sed 's|^\.||; s|/bin/router-run$||')
  [ -x "$dprefix/bin/router-run" ] || fail "no router-run in the package"
  # Every library a program or library of the package needs is in the
  # package or comes with a package it depends on.
  elves=$(find "$dprefix" -type f -exec sh -c '[ "$(head -c 4 "$1" | tail -c 3)" = ELF ]' _ {} \; -print)
  ours=" $(find "$dprefix" -name '*.so*' -printf '%f ')"
  cache=$(ldconfig -p)
  # shellcheck disable=SC2086
  needed=$(for f in $elves; do readelf -d "$f"; done | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u)
  for lib in $needed; do
    [[ $ours == *" $lib "* ]] && continue
    path=$(awk -v n="$lib" '$1 == n {print $NF; exit}' <<<"$cache")
    [ -n "$path" ] || fail "the package needs $lib, which is nowhere"
    real=$(readlink -f "$path")
    owner=$(dpkg -S "$real" 2>/dev/null || dpkg -S "${real#/usr}" 2>/dev/null || dpkg -S "$path" 2>/dev/null) ||
      fail "no package holds $real"
    owner=${owner%%:*}
    owner=${owner%%,*}
    [[ " ${names[*]} " == *" $owner "* ]] || fail "the package needs $lib of $owner, not a dependency"
  done
  echo "package: $(basename "$pkg"), its libraries come with its dependencies"

  # pkg-config in the scratch root as a sysroot: every path points into it.
  for f in $(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_PATH="$dprefix/lib/pkgconfig" pkg-config --cflags --libs libtouchui); do
    case "$f" in
      -I* | -L*) [[ ${f:2} == "$root"/* ]] || fail "with the package's root as sysroot, $f points outside it" ;;
    esac
  done
  check_prefix "$dprefix" package
  build_examples "$dprefix" package
fi

snapshot >"$work/examples.after"
diff "$work/examples.before" "$work/examples.after" || fail "building the examples changed $src/examples"
echo "the example folders are as they were"

if [ "$cross" = TRUE ]; then
  cmake --build "$build" --target rootfs >"$work/rootfs.log" 2>&1 || { cat "$work/rootfs.log"; fail "rootfs"; }
  # Our libraries; the outside pieces are the router's own.
  for pc in "$prefix"/lib/pkgconfig/lib*.pc; do
    case "$(basename "$pc" .pc)" in
      libtouch | libimagepng)
        [ ! -e "$build/rootfs/usr/lib/$(basename "$pc" .pc).so" ] || fail "$(basename "$pc" .pc) in the rootfs"
        continue
        ;;
    esac
    so=$build/rootfs/usr/lib/$(basename "$pc" .pc).so
    kind=$(file "$so")
    [[ $kind == *"32-bit LSB shared object, MIPS"* ]] || fail "$so: $kind"
    [[ $kind == *", stripped"* ]] || fail "$so not stripped"
  done
  echo "rootfs staged"
fi
echo "sdk ok"
