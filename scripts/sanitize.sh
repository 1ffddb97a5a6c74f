#!/bin/sh
# Sanitizer builds.
#   scripts/sanitize.sh asan   AddressSanitizer + UndefinedBehaviorSanitizer, whole test suite
#   scripts/sanitize.sh tsan   ThreadSanitizer, the suites of the frame path, the save worker,
#                              the PDF writer and the text recognition thread
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-asan}
QUILLO_SETUP_CI_EXTRAS=1 "$top/scripts/setup.sh"
case $kind in
  asan)
    build=${QUILLO_ASAN_BUILD_DIR:-$top/build-asan}
    sanitize=address,undefined
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
    # Full stacks on allocation, so that leaks inside the GL and D-Bus
    # libraries show the module they come from and match their suppressions.
    export LSAN_OPTIONS="suppressions=$top/scripts/sanitizers/lsan.supp:print_suppressions=0:fast_unwind_on_malloc=0"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$top/scripts/sanitizers/ubsan.supp"
    filter=""
    ;;
  tsan)
    build=${QUILLO_TSAN_BUILD_DIR:-$top/build-tsan}
    sanitize=thread
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$top/scripts/sanitizers/tsan.supp"
    filter="Preview|SaveWorker|PdfWriter|Orvix|V4l2|PageRecognition"
    ;;
  *) echo "usage: $0 asan|tsan" >&2; exit 2 ;;
esac
# The asan build also carries the fuzz targets, so scripts/fuzz.sh can reuse it.
fuzz=OFF
[ "$kind" = asan ] && fuzz=ON
# Sanitized suites run several times slower (text recognition most of all:
# Tesseract's many small allocations go through the sanitizer's allocator),
# so every suite gets three times its limit.
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLO_TEST_TIMEOUT_SCALE=3 \
  -DQUILLO_SANITIZE=$sanitize -DQUILLO_BUILD_BENCH=OFF -DQUILLO_BUILD_FUZZ=$fuzz >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
if [ -n "$filter" ]; then
  ctest --output-on-failure -j 2 --timeout 900 -R "$filter"
else
  ctest --output-on-failure -j 2 --timeout 900
fi
