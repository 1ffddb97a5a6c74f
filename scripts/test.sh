#!/bin/sh
# Installs what is missing, builds, and runs every test suite.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
# exiftool reads back the EXIF block of our JPEGs in TestExifBlock.
"$top/scripts/setup.sh" libimage-exiftool-perl
"$top/scripts/build.sh"
cd "${QUILLO_BUILD_DIR:-$top/build}"
rc=0
ctest --output-on-failure -j "$(nproc)" --timeout 600 || rc=$?
if [ "$rc" -ne 0 ] && [ -f Testing/Temporary/LastTest.log ]; then
  # Long suite outputs scroll the failing check out of sight; repeat it last.
  echo "=== failed checks:"
  grep -A1 -E '^(FAIL!|XPASS|QFATAL)' Testing/Temporary/LastTest.log | grep -v '^--$' | head -60 || true
fi
exit "$rc"
