#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian 12 machine,
# and makes the mipsel sysroot for the target build. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config file binutils dpkg-dev
  libqdbm-dev qdbm-util libcurl4-openssl-dev libssl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  bubblewrap cron dnsmasq-base iproute2 libpng-dev libfreetype-dev fonts-dejavu-core
  python3 openssl bsdextrautils net-tools wireless-tools
  g++-mipsel-linux-gnu qemu-user mmdebstrap
  clang-14 libfuzzer-14-dev libclang-rt-14-dev
  libjsmn-dev libstb-dev libturbojpeg0-dev libsimdjson-dev
  tzdata
  libjpeg-turbo-progs
  libcpp-httplib-dev
  gcovr
  clang-format
  doxygen
)

# The browser test of the panel (./test.sh browser) also needs a browser and
# its driver.
if [ "${1:-}" = --browser ]; then
  PACKAGES+=(chromium chromium-driver python3-selenium util-linux)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
fi

SYSROOT=.cache/sysroot-mipsel
if [ ! -f "$SYSROOT/.complete" ]; then
  echo "setup: making the mipsel sysroot in $SYSROOT"
  rm -rf "$SYSROOT"; mkdir -p .cache
  mmdebstrap --quiet --arch=mipsel --variant=extract \
    --include=libc6-dev,libstdc++-12-dev,libqdbm-dev,libcurl4-openssl-dev,libssl-dev,libgtest-dev,libgmock-dev,zlib1g-dev \
    bookworm "$SYSROOT"
  touch "$SYSROOT/.complete"
fi

# The touch toolkit's pictures: libpng in the sysroot (added to a sysroot
# made before it was needed).
if [ ! -f "$SYSROOT/.libpng" ]; then
  echo "setup: adding libpng to the mipsel sysroot"
  rm -rf .cache/libpng-mipsel
  mmdebstrap --quiet --arch=mipsel --variant=extract --include=libpng-dev,libpng16-16 \
    bookworm .cache/libpng-mipsel
  # Only libpng's own files: the rest of the sysroot stays as it was made.
  (cd .cache/libpng-mipsel && cp -a --parents usr/include/libpng usr/include/libpng16 \
     usr/include/png.h usr/include/pngconf.h usr/include/pnglibconf.h \
     usr/lib/mipsel-linux-gnu/libpng* usr/lib/mipsel-linux-gnu/pkgconfig/libpng* "../sysroot-mipsel/")
  rm -rf .cache/libpng-mipsel
  touch "$SYSROOT/.libpng"
fi

# The JPEG bench's peer on the router: libjpeg-turbo's mipsel build (its
# portable code, the router's core has no DSP extension) in the sysroot.
if [ ! -f "$SYSROOT/.libturbojpeg" ]; then
  echo "setup: adding libjpeg-turbo to the mipsel sysroot"
  rm -rf .cache/turbojpeg-mipsel
  mmdebstrap --quiet --arch=mipsel --variant=extract \
    --include=libturbojpeg0-dev,libturbojpeg0,libjpeg62-turbo-dev,libjpeg62-turbo \
    bookworm .cache/turbojpeg-mipsel
  # Only libjpeg-turbo's own files.
  (cd .cache/turbojpeg-mipsel && cp -a --parents usr/include/turbojpeg.h usr/include/jpeglib.h \
     usr/include/jmorecfg.h usr/include/jerror.h usr/include/mipsel-linux-gnu/jconfig.h \
     usr/lib/mipsel-linux-gnu/libturbojpeg* usr/lib/mipsel-linux-gnu/libjpeg* \
     usr/lib/mipsel-linux-gnu/pkgconfig/libturbojpeg.pc usr/lib/mipsel-linux-gnu/pkgconfig/libjpeg.pc \
     "../sysroot-mipsel/")
  rm -rf .cache/turbojpeg-mipsel
  touch "$SYSROOT/.libturbojpeg"
fi
