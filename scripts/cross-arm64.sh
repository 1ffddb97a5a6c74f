#!/bin/sh
# Cross-builds Quillo for arm64 and runs the unit tests under qemu-user.
# The sysroot is unpacked from Debian's arm64 packages through a private apt
# configuration, so the build machine's own packages are never touched.
# Usage: scripts/cross-arm64.sh [--package | --package-only | --sysroot-only]
#   --package also makes the arm64 packages (liborvix1, quillo and their
#   -dbgsym); --package-only makes them without running the tests (as
#   scripts/package.sh --arm64 does); --sysroot-only stops after the sysroot.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
work=${QUILLO_ARM64_DIR:-$top/build-arm64-work}
sysroot=$work/sysroot
build=$work/build
export QUILLO_ARM64_SYSROOT=$sysroot

# file(1) and dpkg-dev for CPack's Debian generator.
"$top/scripts/setup.sh" g++-aarch64-linux-gnu qemu-user-static dpkg-dev file

PACKAGES="libc6-dev libstdc++-12-dev qtbase5-dev libqt5svg5-dev libqt5svg5 libhpdf-dev
libturbojpeg0-dev libjpeg62-turbo-dev libv4l-dev libfreetype-dev
libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev libpoppler-qt5-dev
libtesseract-dev tesseract-ocr-eng tesseract-ocr-chi-sim"

if [ ! -f "$sysroot/.complete" ]; then
  apt_root=$work/apt
  mkdir -p "$apt_root/etc/apt/sources.list.d" "$apt_root/etc/apt/preferences.d" \
           "$apt_root/var/lib/apt/lists/partial" "$apt_root/var/cache/apt/archives/partial" \
           "$apt_root/var/lib/dpkg" "$sysroot"
  : > "$apt_root/var/lib/dpkg/status"
  # Debian's own archives only: a third-party one may not carry arm64 or be reachable.
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    if [ -f "$f" ] && grep -q "debian.org" "$f"; then
      cp "$f" "$apt_root/etc/apt/sources.list.d/$(basename "$f")"
    fi
  done
  apt_opts="-o Dir=$apt_root -o Dir::State::status=$apt_root/var/lib/dpkg/status
    -o APT::Architecture=arm64 -o APT::Architectures=arm64
    -o Dir::Etc::Trusted=/etc/apt/trusted.gpg -o Dir::Etc::TrustedParts=/etc/apt/trusted.gpg.d
    -o APT::Install-Recommends=false -o Debug::NoLocking=1"
  # shellcheck disable=SC2086
  apt-get $apt_opts update -qq
  # shellcheck disable=SC2086
  apt-get $apt_opts install -y -qq --download-only $PACKAGES
  for deb in "$apt_root"/var/cache/apt/archives/*.deb; do
    dpkg-deb -x "$deb" "$sysroot"
  done
  # Absolute symlinks inside the sysroot must point into it.
  find "$sysroot" -type l | while read -r link; do
    target=$(readlink "$link")
    case $target in /*) ln -sfn "$sysroot$target" "$link" ;; esac
  done
  # Links that Debian makes with update-alternatives at install time, which
  # unpacking alone does not run.
  multiarch=$sysroot/usr/lib/aarch64-linux-gnu
  for alt in blas/libblas.so.3 lapack/liblapack.so.3; do
    [ -e "$multiarch/$alt" ] && ln -sfn "$alt" "$multiarch/$(basename "$alt")"
  done
  touch "$sysroot/.complete"
fi
[ "${1:-}" = --sysroot-only ] && exit 0

tests=ON
[ "${1:-}" = --package-only ] && tests=OFF
# The tests' time scale goes unused when they are not built.
cmake --no-warn-unused-cli -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLO_BUILD_TESTS=$tests \
  -DCMAKE_TOOLCHAIN_FILE="$top/packaging/arm64/toolchain.cmake" \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=lib/aarch64-linux-gnu -DQUILLO_BUILD_BENCH=OFF -DQUILLO_TEST_TIMEOUT_SCALE=6 >/dev/null
cmake --build "$build" -j "$(nproc)"
file "$build/quillo" "$build/sdk/libOrvix.so.1"

cd "$build"
if [ "${1:-}" != --package-only ]; then
  # Unit tests under qemu-user; the ones that need an X server stay on the host.
  export QEMU_LD_PREFIX=$sysroot
  export QUILLO_TEST_EMULATOR=qemu-aarch64-static
  export QT_PLUGIN_PATH=$sysroot/usr/lib/aarch64-linux-gnu/qt5/plugins
  export QT_QPA_PLATFORM_PLUGIN_PATH=$QT_PLUGIN_PATH/platforms
  ctest --output-on-failure -j "$(nproc)" --timeout 900 -LE xvfb
fi
case ${1:-} in
  --package|--package-only)
    rm -f ./*_arm64.deb ./*_arm64.ddeb
    cpack -G DEB >/dev/null
    for deb in ./*_arm64.deb; do
      echo "package: $build/${deb#./}"
      dpkg-deb --info "$deb" | sed -n 's/^ *\(Architecture\|Depends\):/  &/p'
    done ;;
esac
