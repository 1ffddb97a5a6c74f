#!/bin/sh
# Builds the Debian packages (liborvix1 and quillo, with their -dbgsym
# packages) in a build folder of their own, and checks them as a Debian
# maintainer would: lintian, desktop-file-validate, appstreamcli, the
# library's symbols file and the changelog's version.
#   scripts/package.sh           the packages of this machine (amd64 on a PC)
#   scripts/package.sh --arm64   also the arm64 pair from the cross build
#   scripts/package.sh --smoke   also install both, ask quillo --version with
#                                no display, start it under Xvfb on a simulated
#                                camera, and remove both again
# Options combine. Packages land in build-deb/ (or $QUILLO_PACKAGE_DIR).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_PACKAGE_DIR:-$top/build-deb}
smoke=0 arm64=0
for arg in "$@"; do
  case $arg in
    --smoke) smoke=1 ;;
    --arm64) arm64=1 ;;
    *) echo "usage: $0 [--smoke] [--arm64]" >&2; exit 2 ;;
  esac
done
# CPack's Debian generator runs file(1) and dpkg-shlibdeps; the rest check.
"$top/scripts/setup.sh" file dpkg-dev lintian desktop-file-utils appstream
QUILLO_BUILD_DIR=$build "$top/scripts/build.sh" -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUILLO_BUILD_TESTS=OFF -DQUILLO_BUILD_BENCH=OFF

# check_packages DIR ARCH: the Debian checks on the four packages in DIR.
check_packages() {
  dir=$1 arch=$2
  version=$(dpkg-parsechangelog -l "$top/packaging/changelog" -S Version)
  for p in liborvix1 quillo; do
    deb=$dir/${p}_${version}_$arch.deb
    [ -f "$deb" ] || { echo "package: $deb missing (changelog says $version)" >&2; exit 1; }
    [ -f "$dir/$p-dbgsym_${version}_$arch.ddeb" ] || { echo "package: no debug symbols for $p" >&2; exit 1; }
    echo "package: $deb"
    dpkg-deb --info "$deb" | sed -n 's/^ *\(Version\|Architecture\|Depends\):/  &/p'
  done
  # Nothing but the overridden placeholder tag may show, for the packages and
  # their -dbgsym packages alike; overrides are listed.
  echo "package: lintian ($arch)"
  unpacked=$(mktemp -d)
  trap 'rm -rf "$unpacked"' EXIT
  # (--fail-on would count the shown overrides too; the tags are read instead.)
  lintian --fail-on none --show-overrides "$dir"/liborvix1*_"${version}_$arch".*deb \
    "$dir"/quillo*_"${version}_$arch".*deb >"$unpacked/lintian" 2>&1
  grep -v 'running with root privileges' "$unpacked/lintian" | sed 's/^/  /'
  if grep -q '^[EW]: ' "$unpacked/lintian"; then
    echo "package: lintian reports errors or warnings" >&2
    exit 1
  fi
  # The binaries are of the package's architecture and stripped.
  dpkg-deb -x "$dir/quillo_${version}_$arch.deb" "$unpacked"
  dpkg-deb -x "$dir/liborvix1_${version}_$arch.deb" "$unpacked"
  find "$unpacked" -type f \( -path '*/bin/quillo' -o -name 'libOrvix.so.*' \) -exec file {} + |
    sed "s#$unpacked##; s/^/  /"
  # The library exports what its symbols file promises, no more, no less.
  lib=$(find "$unpacked" -name 'libOrvix.so.1.*' -type f)
  objdump=objdump
  [ "$arch" = arm64 ] && objdump=aarch64-linux-gnu-objdump
  $objdump -T "$lib" | awk 'NF > 2 && $(NF-1) == "ORVIX_1" && $NF != "ORVIX_1" {print $NF}' | sort >"$unpacked/exported"
  sed -n 's/^ \([A-Za-z_0-9]*\)@ORVIX_1 .*/\1/p' "$top/packaging/liborvix1/symbols" |
    grep -v '^ORVIX_1$' | sort >"$unpacked/promised"
  diff "$unpacked/promised" "$unpacked/exported" >&2 ||
    { echo "package: packaging/liborvix1/symbols does not match the library's exports" >&2; exit 1; }
  echo "package: desktop-file-validate, appstreamcli validate"
  desktop-file-validate "$unpacked/usr/share/applications/quillo.desktop"
  appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml | sed 's/^/  /'
  rm -rf "$unpacked"
}

cd "$build"
rm -f ./*.deb ./*.ddeb
cpack -G DEB >/dev/null
check_packages "$build" "$(dpkg --print-architecture)"

if [ "$arm64" = 1 ]; then
  "$top/scripts/cross-arm64.sh" --package-only
  check_packages "${QUILLO_ARM64_DIR:-$top/build-arm64-work}/build" arm64
fi

[ "$smoke" = 1 ] || exit 0

for p in quillo liborvix1; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    echo "package: $p is installed already; not touching it" >&2
    exit 1
  fi
done
home=$(mktemp -d)
cleanup() {
  "$top/scripts/apt.sh" remove -y -qq quillo liborvix1 >/dev/null 2>&1 || true
  rm -rf "$home"
}
trap cleanup EXIT
arch=$(dpkg --print-architecture)
"$top/scripts/apt.sh" install -y -qq ./liborvix1_*_"$arch".deb ./quillo_*_"$arch".deb >/dev/null
for f in /usr/bin/quillo /opt/norvel/Quillo/pdf.svg /usr/share/applications/quillo.desktop \
         /usr/share/man/man1/quillo.1.gz; do
  [ -e "$f" ] || { echo "package: $f missing after install" >&2; exit 1; }
done
if ldd /usr/bin/quillo | grep -q "not found"; then
  ldd /usr/bin/quillo >&2
  exit 1
fi
ldd /usr/bin/quillo | grep -q "libOrvix.so.1 => /usr/" || { echo "package: libOrvix.so.1 not from the package" >&2; exit 1; }
# No display at all: the version must still come.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home" /usr/bin/quillo --version)
echo "package: installed quillo --version: $version"
[ "$version" = "quillo $(dpkg-query -W -f='${Version}' quillo)" ] || { echo "package: wrong version" >&2; exit 1; }
# Start it and look for its window; then close it like a user would.
HOME=$home ORVIX_V4L2=0 ORVIX_SIMULATED_CAMERAS='Smoke Cam|640x480|' \
xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  /usr/bin/quillo >"$HOME/quillo.log" 2>&1 &
  pid=$!
  for i in $(seq 1 40); do
    xdotool search --name "^Quillo$" >/dev/null 2>&1 && break
    sleep 0.25
  done
  xdotool search --name "^Quillo$" >/dev/null || { echo "package: no window" >&2; kill $pid; exit 1; }
  grep -q "Cam_CameraCaptureStart end" "$HOME/quillo.log" || sleep 1
  kill -TERM $pid; wait $pid || true
  grep -q "GetDevCount is 1" "$HOME/quillo.log" || { cat "$HOME/quillo.log" >&2; exit 1; }
'
echo "package: smoke test passed"
