#!/bin/sh
# Configures and builds Quillo into build/ (or $QUILLO_BUILD_DIR).
# Under CI (CI=true) every compiler warning fails the build.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$top/build}
werror=
[ "${CI:-}" = true ] && werror=-DQUILLO_WERROR=ON
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $werror "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
