#!/bin/sh
# Builds the libFuzzer targets with clang (address + undefined sanitizers)
# and runs each for SECONDS (default 60) from its seed corpus.
# Usage: scripts/fuzz.sh [SECONDS]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
# Same configuration as the asan build of scripts/sanitize.sh, which it reuses.
build=${QUILLO_FUZZ_BUILD_DIR:-$top/build-asan}
QUILLO_SETUP_CI_EXTRAS=1 "$top/scripts/setup.sh"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLO_BUILD_FUZZ=ON -DQUILLO_BUILD_BENCH=OFF -DQUILLO_SANITIZE=address,undefined >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_jpegdecode fuzz_settings
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ORVIX_V4L2=0 QT_QPA_PLATFORM=offscreen
for target in fuzz_jpegdecode fuzz_settings; do
  work=$(mktemp -d)
  case $target in fuzz_jpegdecode) corpus=jpeg ;; *) corpus=settings ;; esac
  cp -r "$top/fuzz/corpus/$corpus/." "$work/"
  echo "fuzz: $target for ${seconds}s"
  rc=0
  # Crash inputs land in the build folder, where a failing run can be replayed from.
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz/$target-" "$work" > "$work.log" 2>&1 || rc=$?
  if [ "$rc" -ne 0 ]; then
    tail -n 60 "$work.log"
    echo "fuzz: $target FAILED (exit $rc)" >&2
    failed=1
  else
    tail -n 12 "$work.log"
  fi
  rm -rf "$work" "$work.log"
done
exit "${failed:-0}"
