#!/bin/sh
# Runs the TestSession suite once under LeakSanitizer (an AddressSanitizer
# build with clang) and fails when a leak comes from our code.
#   QUILLO_LEAK_BUILD_DIR  build folder (default: build-leak/)
#   QUILLO_ARTEFACT_DIR    where the full report goes (default: <build>/artefacts)
#
# Which leaks are ours: every leak is sorted by the frames above its
# allocation. The first frame past the allocator compiled from our tree (our
# sources, and library headers inlined into them) makes it ours. A leak
# allocated inside a library is ours too when our code called that library
# directly (a libharu document or a turbojpeg buffer we did not release), and
# the library's own when the way down to our code passes through Qt, glib, X,
# D-Bus, fontconfig or GL, which keep allocations for the life of the process.
# scripts/sanitizers/lsan.supp is not used here: it names libQt5Core and
# libglib, which are on the stack of every slot the event loop runs, so it
# would hide our leaks as well. lsan-session.supp names only libraries that
# never call back into our code.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_LEAK_BUILD_DIR:-$top/build-leak}
artefacts=${QUILLO_ARTEFACT_DIR:-$build/artefacts}
started=$(date +%s)

# clang and its ASan runtime come with the CI extras; llvm brings llvm-symbolizer.
QUILLO_SETUP_CI_EXTRAS=1 "$top/scripts/setup.sh" llvm || { echo "leakcheck: FAIL (setup)"; exit 1; }
for tool in clang clang++ llvm-symbolizer xvfb-run; do
  command -v "$tool" >/dev/null || { echo "leakcheck: $tool is missing" >&2; exit 2; }
done
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLO_SANITIZE=address -DQUILLO_BUILD_BENCH=OFF >/dev/null || { echo "leakcheck: FAIL (configure)"; exit 1; }
fi
cmake --build "$build" -j "$(nproc)" --target TestSession >/dev/null || { echo "leakcheck: FAIL (build)"; exit 1; }
mkdir -p "$artefacts"
log=$artefacts/leakcheck.log

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:fast_unwind_on_malloc=0:malloc_context_size=40"
export LSAN_OPTIONS="suppressions=$top/scripts/sanitizers/lsan-session.supp:print_suppressions=1"
export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer)
export ORVIX_V4L2=0 QUILLO_ARTEFACT_DIR="$artefacts"
"$top/tests/run-isolated.sh" xvfb "$build/tests/TestSession" >"$log" 2>&1
status=$?

# Prints every leak of ours with its stack, then "ours N BYTES" and
# "library N BYTES". Indirect leaks count as well: a leaked QObject and its
# private part point at each other, so LeakSanitizer calls both indirect.
classify() {
  awk -v top="$top" '
    function flush() {
      if (inblock) {
        if (verdict == "ours") { print block "\n"; ours++; oursbytes += bytes }
        else { lib++; libbytes += bytes }
      }
      inblock = 0
    }
    function ours_in_sources(loc,   rest) {
      if (index(loc, top "/") != 1) return 0
      rest = substr(loc, length(top) + 1)
      return rest !~ /^\/build[^\/]*\//
    }
    /^(Direct|Indirect) leak of [0-9]+ byte/ {
      flush()
      inblock = 1; bytes = $4; block = $0
      verdict = ""; pastalloc = 0; crossed = 0; keeper = 0
      next
    }
    inblock && /^ *#[0-9]+ 0x/ {
      block = block "\n" $0
      if (verdict != "") next
      sub(/ \(BuildId: [0-9a-f]+\)$/, "")
      loc = $NF
      # build-x/../ui/a.cpp is ui/a.cpp
      while (sub(/\/[^\/.][^\/]*\/\.\.\//, "/", loc)) {}
      fn = $0; sub(/^ *#[0-9]+ 0x[0-9a-f]+ (in )?/, "", fn); sub(/ [^ ]+$/, "", fn)
      if (!pastalloc) {
        if (fn ~ /(^| )(malloc|calloc|realloc|operator new|operator new\[\]|__interceptor_|posix_memalign|aligned_alloc|memalign|strdup|strndup|__strdup)/ ||
            loc ~ /compiler-rt\/|\/asan_|libclang_rt/)
          next
        pastalloc = 1
      }
      if (index(loc, top "/") == 1 || index(loc, "/usr/include/") == 1) {
        if (!crossed) verdict = "ours"
        else if (ours_in_sources(loc)) verdict = keeper ? "library" : "ours"
        next
      }
      crossed = 1
      if (loc ~ /lib(Qt5|qxcb|qoffscreen|xcb|X11|Xext|Xi|Xrender|glib|gobject|gio|gthread|dbus|fontconfig|EGL|GL|GLX|GLdispatch|xkbcommon|ICE|SM)|\/plugins\//)
        keeper = 1
      next
    }
    inblock { flush() }
    END { flush(); printf "ours %d %d\nlibrary %d %d\n", ours, oursbytes, lib, libbytes }
  ' "$1"
}

result=$(classify "$log")
counts=$(echo "$result" | tail -n 2)
ours=$(echo "$counts" | awk '$1 == "ours" { print $2 " " $3 }')
library=$(echo "$counts" | awk '$1 == "library" { print $2 " " $3 }')
echo "$result" | sed '$d' | sed '$d'
totals=$(grep -m 1 '^Totals:' "$log")
verdict=PASS
[ "${ours%% *}" = 0 ] || verdict=FAIL
case $totals in *" 0 failed"*) ;; *) verdict=FAIL ;; esac
crash=$(grep -m 1 'ERROR: AddressSanitizer' "$log")
[ -z "$crash" ] || verdict=FAIL
if [ "${ours%% *}" = 0 ]; then mine="no leak from our code"; else mine="${ours%% *} leak(s) from our code, ${ours#* } bytes (stacks above)"; fi
echo "leakcheck: $verdict — $mine; ${library%% *} leak(s), ${library#* } bytes, left to Qt/X/glib;" \
  "${totals:-TestSession did not finish (exit $status)}${crash:+; $crash}; $(($(date +%s) - started))s; report $log"
[ "$verdict" = PASS ]
