#!/bin/sh
# Builds the Debian package of this machine's architecture into build/.
#   scripts/package.sh           make the .deb
#   scripts/package.sh --smoke   also install it, start the installed program
#                                under Xvfb on a simulated camera, and remove it
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$top/build}
# CPack's Debian generator runs file(1) and dpkg-shlibdeps.
"$top/scripts/setup.sh" file dpkg-dev
"$top/scripts/build.sh" -DCMAKE_INSTALL_PREFIX=/usr
cd "$build"
rm -f quillo_*.deb
cpack -G DEB >/dev/null
deb=$(ls quillo_*.deb)
echo "package: $build/$deb"
dpkg-deb --info "$deb" | sed -n 's/^ *\(Package\|Version\|Architecture\|Depends\):/  &/p'
dpkg-deb --contents "$deb" | awk '{print "  " $6}' | grep -E 'bin/quillo$|libOrvix.so.1|quillo.desktop$|pdf.svg$'

[ "${1:-}" = --smoke ] || exit 0

if dpkg-query -W -f='${Status}' quillo 2>/dev/null | grep -q "install ok installed"; then
  echo "package: quillo is installed already; not touching it" >&2
  exit 1
fi
home=$(mktemp -d)
cleanup() {
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quillo >/dev/null 2>&1 || true
  rm -rf "$home"
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
for f in /usr/bin/quillo /opt/norvel/Quillo/pdf.svg /usr/share/applications/quillo.desktop; do
  [ -e "$f" ] || { echo "package: $f missing after install" >&2; exit 1; }
done
if ldd /usr/bin/quillo | grep -q "not found"; then
  ldd /usr/bin/quillo >&2
  exit 1
fi
ldd /usr/bin/quillo | grep -q "libOrvix.so.1 => /usr/" || { echo "package: libOrvix.so.1 not from the package" >&2; exit 1; }
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
