#!/bin/sh
# Installs what is missing, builds, and runs every test suite.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
cd "${QUILLO_BUILD_DIR:-$top/build}"
ctest --output-on-failure -j "$(nproc)" --timeout 600
