#!/bin/sh
# Installs what is missing, builds, and starts Quillo on a simulated camera.
#   QUILLO_BUILD_DIR  build folder (default: build/)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$top/build}
"$top/scripts/setup.sh"
QUILLO_BUILD_DIR=$build "$top/scripts/build.sh"
export ORVIX_SIMULATED_CAMERAS="${ORVIX_SIMULATED_CAMERAS:-Tarvo S1|3264x2448,1920x1080,1280x720|tarvo}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display here; starting Quillo on a virtual one (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build/quillo" "$@"
fi
exec "$build/quillo" "$@"
